#pragma once
// What the end-to-end tests of the session module change on the machine, each undone by its
// destructor: throwaway accounts and groups, a PAM service file, folders under /run (the
// module refuses a journal whose path runs through a folder others can change, such as
// /tmp). A test process that is interrupted (SIGINT, SIGTERM, SIGHUP, SIGQUIT) or aborts
// undoes them too. Every name carries the test process's id, so that what a process killed
// outright left behind is found and removed afterwards (tests/e2e/system-state.sh, which
// CTest runs after these tests).
//
// Also: commands run through the shell, and a private system log: pamtester run in a mount
// namespace of its own whose /dev/log is a socket the test reads, so that the module's and
// the journal's log lines can be checked on any machine, with or without a syslog daemon.

#include <fcntl.h>
#include <grp.h>
#include <poll.h>
#include <pwd.h>
#include <signal.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <mutex>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

namespace lumo::e2e {

namespace fs = std::filesystem;

struct CommandResult {
  int status = -1;
  std::string output;  // standard output and error together
};

inline CommandResult RunCommand(const std::string& command) {
  CommandResult result;
  FILE* pipe = popen(("{ " + command + "\n} 2>&1").c_str(), "r");
  if (pipe == nullptr) return result;
  char chunk[4096];
  size_t length = 0;
  while ((length = fread(chunk, 1, sizeof chunk, pipe)) > 0) result.output.append(chunk, length);
  const int status = pclose(pipe);
  result.status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  return result;
}

inline std::string Quote(const std::string& text) {
  std::string quoted = "'";
  for (char c : text) quoted += c == '\'' ? std::string("'\\''") : std::string(1, c);
  return quoted + "'";
}

inline std::string ReadFile(const fs::path& path) {
  std::ifstream in(path);
  std::stringstream text;
  text << in.rdbuf();
  return text.str();
}

// --- undoing on every exit path ------------------------------------------------------------

class Restorable {
 public:
  virtual ~Restorable() = default;
  virtual void Restore() noexcept = 0;
};

// The changes still to undo, for the signal handler.
class RestoreList {
 public:
  static RestoreList& Instance() {
    static RestoreList list;
    return list;
  }
  void Add(Restorable* item) {
    std::lock_guard<std::mutex> lock(mutex_);
    InstallHandlers();
    items_.push_back(item);
  }
  void Remove(Restorable* item) {
    std::lock_guard<std::mutex> lock(mutex_);
    items_.erase(std::remove(items_.begin(), items_.end(), item), items_.end());
  }

 private:
  static void OnSignal(int number) {
    // Not async-signal-safe, but the test is ending anyway and the machine must be left as
    // it was: the newest change is undone first.
    RestoreList& list = Instance();
    for (auto it = list.items_.rbegin(); it != list.items_.rend(); ++it) (*it)->Restore();
    signal(number, SIG_DFL);
    raise(number);
  }
  void InstallHandlers() {
    if (installed_) return;
    installed_ = true;
    // SIGABRT: a failed sanitizer check ends the test that way.
    for (int number : {SIGINT, SIGTERM, SIGHUP, SIGQUIT, SIGABRT}) signal(number, &RestoreList::OnSignal);
  }
  std::mutex mutex_;
  std::vector<Restorable*> items_;
  bool installed_ = false;
};

// Registers itself while it holds a change.
class ScopedChange : public Restorable {
 protected:
  void Hold() { RestoreList::Instance().Add(this); }
  void Release() { RestoreList::Instance().Remove(this); }
};

// A folder under /run: root's, 755, on a path of root-only folders.
class TrustedFolder : public ScopedChange {
 public:
  TrustedFolder() {
    std::string pattern = "/run/lumo-e2e-" + std::to_string(getpid()) + "-XXXXXX";
    if (mkdtemp(pattern.data()) != nullptr) {
      path_ = pattern;
      chmod(pattern.c_str(), 0755);
      Hold();
    }
  }
  ~TrustedFolder() override {
    Restore();
    Release();
  }
  TrustedFolder(const TrustedFolder&) = delete;
  TrustedFolder& operator=(const TrustedFolder&) = delete;
  void Restore() noexcept override {
    std::error_code ignored;
    if (!path_.empty()) fs::remove_all(path_, ignored);
  }
  const fs::path& Path() const { return path_; }

 private:
  fs::path path_;
};

class ScopedAccount : public ScopedChange {
 public:
  // `system` makes an account from the system range, below UID_MIN.
  ScopedAccount(std::string name, bool system) : name_(std::move(name)) {
    const std::string options = system ? "-r -M -s /usr/sbin/nologin" : "-m -s /bin/sh";
    created_ = RunCommand("useradd " + options + " " + name_).status == 0;
    if (!created_) return;
    Hold();
    if (const passwd* entry = getpwnam(name_.c_str())) {
      uid_ = entry->pw_uid;
      gid_ = entry->pw_gid;
      home_ = entry->pw_dir;
      shell_ = entry->pw_shell;
    }
  }
  ~ScopedAccount() override {
    Restore();
    Release();
  }
  ScopedAccount(const ScopedAccount&) = delete;
  ScopedAccount& operator=(const ScopedAccount&) = delete;
  void Restore() noexcept override {
    // -f: a process of the account that a failed check left running must not keep it alive.
    if (created_) RunCommand("pkill -KILL -u " + std::to_string(uid_) + "; userdel -r -f " + name_);
    created_ = false;
  }

  bool Created() const { return created_; }
  const std::string& Name() const { return name_; }
  uid_t Uid() const { return uid_; }
  gid_t Gid() const { return gid_; }
  const std::string& Home() const { return home_; }
  const std::string& Shell() const { return shell_; }
  // A command line prefix that runs a command as this user, outside any of the test's groups.
  std::string As() const {
    return "setpriv --reuid=" + std::to_string(uid_) + " --regid=" + std::to_string(gid_) + " --clear-groups ";
  }

 private:
  std::string name_;
  bool created_ = false;
  uid_t uid_ = 0;
  gid_t gid_ = 0;
  std::string home_;
  std::string shell_;
};

class ScopedGroup : public ScopedChange {
 public:
  explicit ScopedGroup(std::string name) : name_(std::move(name)) {
    created_ = RunCommand("groupadd " + name_).status == 0;
    if (!created_) return;
    Hold();
    if (const group* entry = getgrnam(name_.c_str())) gid_ = entry->gr_gid;
  }
  ~ScopedGroup() override {
    Restore();
    Release();
  }
  ScopedGroup(const ScopedGroup&) = delete;
  ScopedGroup& operator=(const ScopedGroup&) = delete;
  void Restore() noexcept override {
    if (created_) RunCommand("groupdel " + name_);
    created_ = false;
  }
  bool Created() const { return created_; }
  const std::string& Name() const { return name_; }
  gid_t Gid() const { return gid_; }

 private:
  std::string name_;
  bool created_ = false;
  gid_t gid_ = 0;
};

class ScopedPamService : public ScopedChange {
 public:
  ScopedPamService(const std::string& name, const std::string& text) : name_(name), path_("/etc/pam.d/" + name) {
    if (fs::exists(path_)) return;  // never overwrite a service of the system
    Hold();
    std::ofstream(path_) << text;
    written_ = true;
  }
  ~ScopedPamService() override {
    Restore();
    Release();
  }
  ScopedPamService(const ScopedPamService&) = delete;
  ScopedPamService& operator=(const ScopedPamService&) = delete;
  void Restore() noexcept override {
    if (written_) unlink(path_.c_str());
    written_ = false;
  }
  bool Written() const { return written_; }
  const std::string& Name() const { return name_; }

 private:
  std::string name_;
  std::string path_;
  bool written_ = false;
};

// --- a private system log -------------------------------------------------------------------

// A datagram socket in `folder` that receives what syslog(3) sends to /dev/log in commands
// started through Wrap(): those run in a mount namespace of their own whose /dev is a fresh
// folder of links to the real entries, /dev/log linking to this socket. Nothing outside the
// namespace sees a change. A thread drains the socket all the time: a sender blocks once a few
// datagrams wait unread (net.unix.max_dgram_qlen), and busy sessions log more than that.
class PrivateLog {
 public:
  explicit PrivateLog(const fs::path& folder) : folder_(folder), socket_(folder / "log.sock") {
    fd_ = socket(AF_UNIX, SOCK_DGRAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0);
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    const std::string path = socket_.string();
    if (fd_ < 0 || path.size() >= sizeof address.sun_path) return;
    path.copy(address.sun_path, path.size());
    if (bind(fd_, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0) return;
    chmod(path.c_str(), 0666);  // the journal logs as the user
    fs::create_directories(folder_ / "dev" / "real");
    ready_ = true;
    reader_ = std::thread([this] {
      while (!stop_) {
        pollfd entry{fd_, POLLIN, 0};
        poll(&entry, 1, 50);
        std::lock_guard<std::mutex> lock(mutex_);
        Drain();
      }
    });
  }
  ~PrivateLog() {
    stop_ = true;
    if (reader_.joinable()) reader_.join();
    if (fd_ >= 0) close(fd_);
  }
  PrivateLog(const PrivateLog&) = delete;
  PrivateLog& operator=(const PrivateLog&) = delete;

  bool Ready() const { return ready_; }

  // `command` (a shell command) run with this log as the system log.
  std::string Wrap(const std::string& command) const {
    const std::string real = (folder_ / "dev" / "real").string();
    const std::string script =
        "set -e; mount --rbind /dev " + Quote(real) + "; mount -t tmpfs -o mode=755 lumo-dev /dev; for e in " +
        Quote(real) + "/*; do ln -s \"$e\" /dev/; done; ln -sfn " + Quote(socket_.string()) + " /dev/log; " + command;
    return "unshare --mount --propagation private sh -c " + Quote(script);
  }

  // The messages received since the last call, one per line, without their priority prefix.
  std::string Take() {
    std::lock_guard<std::mutex> lock(mutex_);
    Drain();
    std::string lines;
    lines.swap(lines_);
    return lines;
  }

 private:
  void Drain() {
    char message[8192];
    for (;;) {
      const ssize_t length = recv(fd_, message, sizeof message, 0);
      if (length <= 0) break;
      std::string line(message, static_cast<size_t>(length));
      if (!line.empty() && line[0] == '<') line.erase(0, line.find('>') + 1);
      lines_ += line + "\n";
    }
  }

  fs::path folder_;
  fs::path socket_;
  int fd_ = -1;
  bool ready_ = false;
  std::mutex mutex_;
  std::string lines_;
  std::atomic<bool> stop_{false};
  std::thread reader_;
};

}  // namespace lumo::e2e
