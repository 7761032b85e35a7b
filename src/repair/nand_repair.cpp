#include "repair/nand_repair.h"

#include <fstream>
#include <vector>

#include "common/file_exists.h"
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

AttemptEnd SendNandBlock(RepairLink& link, std::istream& image, int startLogicalBlock, int block) {
  Module1& m = link.m;
  std::vector<std::uint8_t> bytes(nand::kBlockSize);
  image.clear();
  image.seekg(static_cast<std::streamoff>((block - 1) * nand::kBlockSize));
  if (!image.read(reinterpret_cast<char*>(bytes.data()), nand::kBlockSize)) return AttemptEnd::FileError;
  const int code = wire::BlockCode(startLogicalBlock + block - 1);
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

  std::ifstream image(PathFromUtf8(m.ImagePath), std::ios::binary);
  if (!image.is_open()) {
    m.host.ShowMessage("文件错误!");
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
  image.close();
  if (ending == RepairEnding::Success) return link.Finish(options.format);
  m.FirstUnconfirmedBlock = firstBlock + link.FramesConfirmed() / nand::kPagesPerBlock;
  return ending;
}
