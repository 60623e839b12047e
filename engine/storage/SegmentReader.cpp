#include "storage/SegmentReader.h"

#include <cstring>

#include "storage/SegmentWalk.h"
#include "storage/SegmentedFile.h"

SegmentReader::SegmentReader(const SegmentedFile& file)
    : file_(file), files_(file.Segments.size()), tried_(file.Segments.size(), false) {}

bool SegmentReader::ReadAt(int64_t offset, uint8_t* buffer, size_t count) {
    return ReadSegmentsAt(file_.Segments, file_.FillByte, offset, buffer, count,
                          [this](size_t index, int64_t at, uint8_t* out, size_t bytes) {
                              if (index >= files_.size()) {
                                  std::memset(out, file_.FillByte, bytes);
                                  return false;
                              }
                              if (!tried_[index]) {
                                  tried_[index] = true;
                                  files_[index].OpenRead(file_.Segments[index]->FileName.c_str(),
                                                         FileSequentialScan);
                              }
                              size_t got = files_[index].ReadAt(at, out, bytes);
                              if (got < bytes)
                                  std::memset(out + got, file_.FillByte, bytes - got);
                              return got > 0;
                          });
}
