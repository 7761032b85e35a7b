#pragma once
#include <string>

#include "converter/binary_file.h"
#include "converter/conversions.h"

// The checks and the bracket that both conversions share.
namespace steps {

// Refuses an empty source path or one that cannot be opened for reading.
bool SourceReadable(ConverterHost& host, const std::string& source);

// Refuses an empty target path, and a target that is the source itself.
bool TargetUsable(ConverterHost& host, const std::string& source, const std::string& target);

// Asks before an existing target is replaced; false when the user says No.
bool OverwriteAllowed(ConverterHost& host, const std::string& target);

// The running part of a conversion: the convert button is disabled and the
// progress bar spans the blocks; every ending enables the button again and
// puts the bar back to 0.
class Run {
 public:
  Run(ConverterHost& host, int blocks);
  ConversionResult Succeed();
  ConversionResult Fail(const std::string& message);
  // A file-system failure: the temporary target goes, the message names the
  // file and the system's reason.
  ConversionResult ReadFailed(const std::string& source, const BinaryFile& in, TemporaryTarget& out);
  ConversionResult WriteFailed(const std::string& target, TemporaryTarget& out);
  void BlockDone(int blocksDone) { host_.SetProgressValue(blocksDone); }

 private:
  void Finish();
  ConverterHost& host_;
};

}  // namespace steps
