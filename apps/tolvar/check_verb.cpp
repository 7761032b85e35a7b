// check: what an image's own check values say about it, with no handheld.
#include "command_line.h"
#include "image_check/image_check.h"

int CheckVerb(const Arguments& args) {
  ConsoleHost host(true, "NC3000");
  const ImageCheck check = CheckImageFile(args.file);
  if (!check.problem.empty()) return RefuseImage(host, "文件错误!", args.file + ": " + check.problem);
  for (const std::string& line : DescribeCheck(check)) host.ShowMessage(line);
  return check.Sound() ? kExitSuccess : kExitFailure;
}
