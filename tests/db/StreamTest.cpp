// Streams: files written and read back, their errors naming the file, and copying between
// streams in pieces.
#include "db/Stream.h"

#include <gtest/gtest.h>
#include <stdlib.h>

#include <filesystem>

#include "tests/support/TestSupport.h"

namespace lumo {
namespace {

class StreamTest : public ::testing::Test {
 protected:
  template <class Action>
  static std::string MessageOf(Action action) {
    try {
      action();
    } catch (const EStreamError& error) {
      return error.Message();
    }
    return {};
  }
  lumo::testing::TemporaryFolder temporary_{"lumo-stream"};
  std::string folder_ = temporary_.Path().string();
};

TEST_F(StreamTest, FilesKeepEveryByteAndSeekFromEachOrigin) {
  const std::string path = folder_ + "/data.bin";
  std::string bytes(200000, '\0');
  for (size_t i = 0; i < bytes.size(); ++i) bytes[i] = static_cast<char>(i * 7);
  {
    TFileStream out(path, TFileStream::Mode::kCreate);
    TMemoryStream source(bytes);
    EXPECT_EQ(out.CopyFrom(source, 0), static_cast<int64_t>(bytes.size()));
    out.Flush();
  }
  TFileStream in(path, TFileStream::Mode::kOpenRead);
  EXPECT_EQ(in.Size(), static_cast<int64_t>(bytes.size()));
  EXPECT_EQ(in.Seek(-3, TSeekOrigin::soEnd), static_cast<int64_t>(bytes.size()) - 3);
  EXPECT_EQ(in.ReadAll(), bytes.substr(bytes.size() - 3));
  in.SetPosition(0);
  EXPECT_EQ(in.Seek(10, TSeekOrigin::soCurrent), 10);
  EXPECT_TRUE(in.ReadAll() == bytes.substr(10));
  // Creating truncates what was there.
  { TFileStream again(path, TFileStream::Mode::kCreate); }
  EXPECT_EQ(std::filesystem::file_size(path), 0u);
}

TEST_F(StreamTest, FilesThatCannotBeUsedAreNamedWithTheReason) {
  const std::string missing = folder_ + "/missing.bin";
  EXPECT_EQ(MessageOf([&] { TFileStream(missing, TFileStream::Mode::kOpenRead); }),
            "Cannot open file \"" + missing + "\". No such file or directory");
  EXPECT_EQ(MessageOf([&] { TFileStream(folder_, TFileStream::Mode::kOpenRead); }),
            "Cannot open file \"" + folder_ + "\". Is a directory");
  const std::string nowhere = folder_ + "/no/out.bin";
  EXPECT_EQ(MessageOf([&] { TFileStream(nowhere, TFileStream::Mode::kCreate); }),
            "Cannot create file \"" + nowhere + "\". No such file or directory");
  // /dev/full takes no byte.
  TFileStream full("/dev/full", TFileStream::Mode::kCreate);
  EXPECT_EQ(MessageOf([&] { full.WriteBuffer("x", 1); }), "Cannot write file \"/dev/full\". No space left on device");
}

TEST_F(StreamTest, CopyFromTakesTheWholeSourceOrACount) {
  TMemoryStream source(std::string("0123456789"));
  source.SetPosition(8);
  TMemoryStream all;
  EXPECT_EQ(all.CopyFrom(source, 0), 10);  // 0: everything, from the start
  EXPECT_EQ(all.Bytes(), "0123456789");
  source.SetPosition(2);
  TMemoryStream part;
  EXPECT_EQ(part.CopyFrom(source, 3), 3);
  EXPECT_EQ(part.Bytes(), "234");
  source.SetPosition(8);
  EXPECT_EQ(MessageOf([&] { part.CopyFrom(source, 5); }), "Stream read error");
}

}  // namespace
}  // namespace lumo
