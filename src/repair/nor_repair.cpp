#include "repair/nor_repair.h"

#include <vector>

#include "common/handheld_layout.h"
#include "common/hex_text.h"
#include "repair/nor_check_values.h"
#include "repair/repair_link.h"

RepairEnding BackNor(Module1& m, const NorRepairOptions& options) {
  m.host.LockForTransfer(Host::Task::Repair);
  m.HandheldWritten = false;
  RepairEnding ending = RepairEnding::PortFailed;
  if (m.OpenPort()) ending = RepairNor(m, options);
  m.ClosePort();
  m.host.SetBarValue(Host::Bar::Current, 0);
  m.host.SetBarValue(Host::Bar::Total, 0);
  m.host.RestoreAfterTransfer(Host::Task::Repair);
  m.host.UnloadCancelDialog();
  return ending;
}

AttemptEnd SendNorPage(RepairLink& link, BinaryFile& image, int page) {
  Module1& m = link.m;
  m.host.SetBarRange(Host::Bar::Current, 0, wire::kNorFramesPerPage);
  std::vector<std::uint8_t> bytes(nor::kPageSize);
  if (!image.SeekTo(page * nor::kPageSize) || !image.Read(bytes.data(), bytes.size())) return AttemptEnd::FileError;
  m.host.SetStatus("正在修复" + Dec2HexStr(static_cast<std::uint8_t>(page)) + "页");
  for (int k = 0; k < wire::kNorFramesPerPage; ++k) {
    const AttemptEnd end = link.SendFrame(
        [&](std::uint8_t* frame) { return BuildNorFrame(frame, page, k, bytes.data() + k * wire::kNorPayload); });
    if (end != AttemptEnd::Done) return end;
    m.host.SetBarValue(Host::Bar::Current, k + 1);
  }
  return AttemptEnd::Done;
}

RepairEnding RepairNor(Module1& m, const NorRepairOptions& options) {
  m.TransferKind = 0;
  m.CancelFlag = false;
  // The file may have changed since the dialog checked it.
  std::uint64_t length = 0;
  if (const std::string problem = NorImageProblem(m.ImagePath); !problem.empty() || !SizeOfFile(m.ImagePath, length)) {
    m.host.ShowWithReason("文件错误!", m.ImagePath + ": " + problem);
    return RepairEnding::FileError;
  }
  const int pages = static_cast<int>(length / nor::kPageSize);
  m.host.SetBarRange(Host::Bar::Total, 0, pages);

  if (options.pagesFrom02) {
    // Pages 02 on go out only with check values that match them.
    CheckFix sum, crc;
    if (!CorrectNorCheckValues(m.host, m.ImagePath, sum, crc)) {
      m.host.ShowMessage("无法写入文件,不能校正文件的校验值,修复没有进行!");
      return RepairEnding::NotWritable;
    }
  }

  BinaryFile image;
  if (!image.OpenForReading(m.ImagePath)) {
    m.host.ShowMessage("文件错误!");
    return RepairEnding::FileError;
  }
  RepairLink link(m, wire::kNorAnnounce, kNorFrameTicks, options.lowSpeed);
  const RepairEnding ending = link.RunAttempts(ResetRequest(options.lowSpeed), 0, [&] {
    for (int p = 0; p < pages; ++p) {
      if (options.Sends(p)) {
        const AttemptEnd end = SendNorPage(link, image, p);
        if (end != AttemptEnd::Done) return end;
      }
      // Also after a page that is not sent: a cancel ends the repair here.
      if (m.CancelFlag) return AttemptEnd::Cancel;
      m.host.SetBarValue(Host::Bar::Total, p + 1);
      m.host.ProcessEvents();
    }
    return AttemptEnd::Done;
  });
  image.Close();
  return ending == RepairEnding::Success ? link.Finish(options.format) : ending;
}
