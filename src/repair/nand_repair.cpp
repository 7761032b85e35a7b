#include "repair/nand_repair.h"

#include <vector>

#include "common/handheld_layout.h"
#include "common/hex_text.h"

RepairEnding BackNand(Module1& m, int firstBlock, int lastBlock, int startLogicalBlock, const NandRepairOptions& options) {
  m.host.LockForTransfer(Host::Task::Repair);
  m.HandheldWritten = false;
  RepairEnding ending = RepairEnding::PortFailed;
  if (m.OpenPort()) ending = RepairNand(m, firstBlock, lastBlock, startLogicalBlock, options);
  m.ClosePort();
  m.host.SetBarValue(Host::Bar::Current, 0);
  m.host.SetBarValue(Host::Bar::Total, firstBlock - 1);
  m.host.RestoreAfterTransfer(Host::Task::Repair);
  m.host.UnloadCancelDialog();
  return ending;
}

AttemptEnd SendNandBlock(RepairLink& link, BinaryFile& image, int startLogicalBlock, int block) {
  Module1& m = link.m;
  std::vector<std::uint8_t> bytes(nand::kBlockSize);
  if (!image.SeekTo((block - 1) * nand::kBlockSize) || !image.Read(bytes.data(), bytes.size())) return AttemptEnd::FileError;
  const int code = nand::BlockCode(startLogicalBlock + block - 1);
  for (int page = 0; page < nand::kPagesPerBlock; ++page) {
    const AttemptEnd end = link.SendFrame(
        [&](std::uint8_t* frame) { return BuildNandFrame(frame, code, page, bytes.data() + page * wire::kNandPayload); });
    if (end != AttemptEnd::Done) return end;
    m.host.SetBarValue(Host::Bar::Current, page + 1);
  }
  return AttemptEnd::Done;
}

RepairEnding RepairNand(Module1& m, int firstBlock, int lastBlock, int startLogicalBlock, const NandRepairOptions& options) {
  m.TransferKind = 0;
  m.CancelFlag = false;
  m.host.SetBarRange(Host::Bar::Total, firstBlock - 1, lastBlock);
  m.host.SetBarRange(Host::Bar::Current, 0, nand::kPagesPerBlock);

  BinaryFile image;
  if (!image.OpenForReading(m.ImagePath)) {
    m.host.ShowWithReason("文件错误!", m.ImagePath + ": " + image.Error());
    return RepairEnding::FileError;
  }
  const std::string prompt = "修复" + BlankNumber(firstBlock) + "到" + BlankNumber(lastBlock) + "块,\r\n" + ResetRequest(options.lowSpeed);
  RepairLink link(m, wire::kNandAnnounce, kNandFrameTicks, options.lowSpeed);
  const RepairEnding ending = link.RunAttempts(prompt, firstBlock - 1, [&] {
    for (int b = firstBlock; b <= lastBlock; ++b) {
      const AttemptEnd end = SendNandBlock(link, image, startLogicalBlock, b);
      if (end != AttemptEnd::Done) return end;
      if (m.CancelFlag) return AttemptEnd::Cancel;
      m.host.SetStatus("已修复第" + BlankNumber(b) + "块");
      m.host.SetBarValue(Host::Bar::Total, b);
      m.host.ProcessEvents();
    }
    return AttemptEnd::Done;
  });
  image.Close();
  if (ending == RepairEnding::Success) return link.Finish(options.format);
  m.FirstUnconfirmedBlock = firstBlock + link.FramesConfirmed() / nand::kPagesPerBlock;
  return ending;
}
