// Opening the journal program so that no user can swap it between the check and the start.
//
// A check by name followed by a start by name lets anyone who can change any folder on the
// way (or a link on it) put another program there in between. So each component is opened
// once, relative to the folder opened before it, without following links, and judged by what
// was opened (fstat); the descriptor of the file that passed is what gets executed.

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <deque>

#include "app/pam/LogonJournalModule.h"

namespace lumo::pam {

namespace {

// As the kernel allows when it resolves a name.
constexpr int kMaxLinks = 40;

class Descriptor {
 public:
  explicit Descriptor(int fd = -1) : fd_(fd) {}
  ~Descriptor() {
    if (fd_ >= 0) close(fd_);
  }
  Descriptor(const Descriptor&) = delete;
  Descriptor& operator=(const Descriptor&) = delete;
  Descriptor(Descriptor&& other) noexcept : fd_(other.fd_) { other.fd_ = -1; }
  Descriptor& operator=(Descriptor&& other) noexcept {
    if (this != &other) {
      if (fd_ >= 0) close(fd_);
      fd_ = other.fd_;
      other.fd_ = -1;
    }
    return *this;
  }
  int get() const { return fd_; }
  int release() {
    const int fd = fd_;
    fd_ = -1;
    return fd;
  }

 private:
  int fd_;
};

bool OnlyRootCanChange(const struct stat& info) {
  return info.st_uid == 0 && (info.st_mode & (S_IWGRP | S_IWOTH)) == 0;
}

void AppendComponents(const std::string& path, std::deque<std::string>& components) {
  std::deque<std::string> found;
  size_t start = 0;
  while (start <= path.size()) {
    size_t slash = path.find('/', start);
    if (slash == std::string::npos) slash = path.size();
    std::string name = path.substr(start, slash - start);
    if (!name.empty() && name != ".") found.push_back(std::move(name));
    start = slash + 1;
  }
  components.insert(components.begin(), found.begin(), found.end());
}

// "/" itself, judged like every other folder.
Descriptor OpenRoot(std::string& problem) {
  Descriptor root(open("/", O_PATH | O_DIRECTORY | O_CLOEXEC));
  struct stat info {};
  if (root.get() < 0 || fstat(root.get(), &info) != 0) {
    problem = std::string("cannot open /: ") + strerror(errno);
    return Descriptor();
  }
  if (!OnlyRootCanChange(info)) {
    problem = "the folder / can be changed by others than root";
    return Descriptor();
  }
  return root;
}

}  // namespace

int OpenTrustedProgram(const std::string& path, std::string& problem) {
  const std::string refused = "refusing the journal " + path + ": ";
  if (path.empty() || path[0] != '/') {
    problem = "the journal must be given by its absolute path, not \"" + path + "\"";
    return -1;
  }
  std::deque<std::string> pending;
  AppendComponents(path, pending);
  Descriptor folder = OpenRoot(problem);
  if (folder.get() < 0) {
    problem = refused + problem;
    return -1;
  }
  std::string walked = "/";  // the names walked so far, for messages
  int links = 0;
  while (!pending.empty()) {
    const std::string name = pending.front();
    pending.pop_front();
    const std::string here = walked + name;
    Descriptor next(openat(folder.get(), name.c_str(), O_PATH | O_NOFOLLOW | O_CLOEXEC));
    struct stat info {};
    if (next.get() < 0 || fstat(next.get(), &info) != 0) {
      problem = refused + "cannot open " + here + ": " + strerror(errno);
      return -1;
    }
    if (S_ISLNK(info.st_mode)) {
      // A link of root's in a folder of root's says what root wants; its target is walked
      // like the rest.
      if (info.st_uid != 0) {
        problem = refused + here + " is a symbolic link that does not belong to root";
        return -1;
      }
      if (++links > kMaxLinks) {
        problem = refused + "too many symbolic links";
        return -1;
      }
      char target[4096];
      const ssize_t length = readlinkat(next.get(), "", target, sizeof target);
      if (length <= 0 || static_cast<size_t>(length) >= sizeof target) {
        problem = refused + "cannot read the symbolic link " + here;
        return -1;
      }
      const std::string destination(target, static_cast<size_t>(length));
      AppendComponents(destination, pending);
      if (destination[0] == '/') {
        folder = OpenRoot(problem);
        if (folder.get() < 0) {
          problem = refused + problem;
          return -1;
        }
        walked = "/";
      }
      if (pending.empty()) {
        problem = refused + here + " leads to a folder, not to a program";
        return -1;
      }
      continue;
    }
    if (!pending.empty()) {
      if (!S_ISDIR(info.st_mode)) {
        problem = refused + here + " is not a folder";
        return -1;
      }
      // Whoever can change a folder on the way can put another program at its end.
      if (!OnlyRootCanChange(info)) {
        problem = refused + "the folder " + here + " can be changed by others than root";
        return -1;
      }
      folder = std::move(next);
      walked = here + "/";
      continue;
    }
    if (!S_ISREG(info.st_mode) || !OnlyRootCanChange(info)) {
      problem = refused + here + " is not a regular file that only root can change";
      return -1;
    }
    if ((info.st_mode & (S_IXUSR | S_IXGRP | S_IXOTH)) == 0) {
      problem = refused + here + " is not executable";
      return -1;
    }
    return next.release();
  }
  problem = refused + "it names a folder, not a program";
  return -1;
}

}  // namespace lumo::pam
