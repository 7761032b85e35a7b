#include "common/target_check.h"

#include <cerrno>
#include <filesystem>
#include <system_error>
#include <utility>

#include "common/file_exists.h"
#include "common/platform_files.h"
#include "common/system_reason.h"

namespace fs = std::filesystem;

namespace {

// Where a chain of symbolic links ends (the path itself when it is none).
// The end need not exist: a link to a missing file names the file to create.
fs::path FollowLinks(fs::path p) {
  for (int hops = 0; hops < 40; ++hops) {
    std::error_code ec;
    if (!fs::is_symlink(fs::symlink_status(p, ec))) break;
    const fs::path next = fs::read_symlink(p, ec);
    if (ec) break;
    p = next.is_absolute() ? next : p.parent_path() / next;
  }
  return p;
}

// Why the existing file may not be replaced, as a message shows it after the
// path; empty when it may. A read-only file is left alone even where the
// folder would let it be renamed over: it is read-only so that nothing
// replaces it. The other two would make the rename fail only after the
// whole transfer.
std::string ReplaceProblem(const fs::path& file, const fs::path& folder) {
  switch (WhatBarsReplacing(file, folder)) {
    case ReplaceBarrier::None: return {};
    case ReplaceBarrier::ReadOnly: return "这是只读文件,不能替换!";
    case ReplaceBarrier::NotWritable: return "没有写入这个文件的权限: " + SystemReason(errno);
    case ReplaceBarrier::OwnersOnlyFolder:
      return "文件属于别的用户,文件夹 " + Utf8FromPath(folder) + " 只允许文件的主人替换它!";
  }
  return {};
}

const char* KindOf(fs::file_type type) {
  switch (type) {
    case fs::file_type::directory: return "文件夹";
    case fs::file_type::character:
    case fs::file_type::block: return "设备";
    case fs::file_type::fifo: return "命名管道(FIFO)";
    case fs::file_type::socket: return "套接字";
    default: return "特殊文件";
  }
}

}  // namespace

Target CheckTarget(const std::string& path) {
  Target t;
  const auto refused = [&t](std::string problem) {
    t.problem = std::move(problem);
    return t;
  };
  if (path.empty()) return refused("没有指定保存的文件名!");
  const fs::path resolved = FollowLinks(PathFromUtf8(path));
  t.path = Utf8FromPath(resolved);
  const std::string named = t.path == path ? path : path + " (指向 " + t.path + ")";

  std::error_code ec;
  const fs::file_status status = fs::status(resolved, ec);
  if (ec && status.type() != fs::file_type::not_found)
    return refused("无法访问 " + named + " : " + SystemReason(ec.default_error_condition().value()));
  t.exists = fs::exists(status);
  if (t.exists && !fs::is_regular_file(status))
    return refused(named + " 是" + KindOf(status.type()) + ",不能作为保存的文件!");

  const fs::path folder = resolved.has_parent_path() ? resolved.parent_path() : fs::path(".");
  const std::string cannot = "无法保存为 " + named + " : ";
  const std::string folderName = Utf8FromPath(folder);
  const fs::file_status folderStatus = fs::status(folder, ec);
  if (!fs::exists(folderStatus)) return refused(cannot + "文件夹 " + folderName + " 不存在!");
  if (!fs::is_directory(folderStatus)) return refused(cannot + folderName + " 不是文件夹!");
  if (!FolderWritable(folder)) return refused(cannot + "文件夹 " + folderName + " 无法写入: " + SystemReason(errno));
  if (t.exists) {
    if (const std::string why = ReplaceProblem(resolved, folder); !why.empty()) return refused(cannot + why);
  }
  return t;
}

std::string ChangeProblem(const std::string& path) {
  switch (WhatBarsWriting(PathFromUtf8(path))) {
    case ReplaceBarrier::ReadOnly: return "这是只读文件";
    case ReplaceBarrier::NotWritable: return SystemReason(errno);
    default: return {};
  }
}
