#include "repair_test_support.h"

#include <cstdlib>
#include <fstream>

namespace fs = std::filesystem;

namespace {
bool Writable(const fs::path& path) { return std::fstream(path, std::ios::in | std::ios::out | std::ios::binary).is_open(); }
}  // namespace

bool MakeReadOnly(const fs::path& path) {
  fs::permissions(path, fs::perms::owner_read | fs::perms::group_read | fs::perms::others_read);
  if (!Writable(path)) return true;
  const std::string command = "chattr +i '" + path.string() + "' 2>/dev/null";
  if (std::system(command.c_str()) != 0) return false;
  return !Writable(path);
}

void MakeWritable(const fs::path& path) {
  const std::string command = "chattr -i '" + path.string() + "' 2>/dev/null";
  [[maybe_unused]] const int ignored = std::system(command.c_str());
  fs::permissions(path, fs::perms::owner_all);
}

void RepairFixture::TearDown() {
  for (const auto& entry : fs::directory_iterator(dir)) MakeWritable(entry.path());
}

bool RepairFixture::CancelAtEveryPassOfASilentWait(RepairReceiver& handheld, RepairReceiver::Flash flash, int passes,
                                                   const std::function<RepairEnding()>& run) {
  bool raced = false;
  for (int n = 1; n <= passes; ++n) {
    handheld = RepairReceiver(flash);
    handheld.faults.silentFrom = 5;
    host = FakeHost();
    int pass = 0;
    host.onEvents = [&] {
      if (handheld.framesReceived == 5 && ++pass == n && host.questions.empty()) m.RequestCancel();
    };
    const RepairEnding ending = run();
    if (pass < n) continue;  // the wait gave up before the n-th pass
    EXPECT_EQ(ending, RepairEnding::Cancel) << "cancel at pass " << n;
    EXPECT_TRUE(host.questions.empty()) << "cancel at pass " << n;
    raced = raced || m.TimeoutFlag;
  }
  return raced;
}
