#pragma once
#include "backup/backup.h"
#include "backup/image_comparison.h"

// The verifications: the handheld sends a backup exactly as for SaveNor and
// SaveNand, and every page or block is compared with `comparison`'s file as it
// arrives; nothing is written. They lock the window, open the port, end as the
// backups end (restart questions included) and restore the window. Success
// means the whole image arrived and was compared: `comparison` then holds
// the summary.
BackupEnding VerifyNor(Module1& m, ImageComparison& comparison);
BackupEnding VerifyNand(Module1& m, ImageComparison& comparison);
