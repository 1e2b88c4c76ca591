// The ten kinds of file-transfer message: the u32 that opens every message
// body on the file-transfer stream.
#pragma once

#include <cstdint>

namespace ft {

enum MsgType : std::uint32_t {
  msgShareCtrl = 1,
  msgShareReq = 2,
  msgShareData = 3,
  msgFileReq = 4,
  msgByteLimit = 5,
  msgFileData = 6,
  msgFileError = 7,
  msgFileAbort = 8,
  msgShareRelease = 9,
  msgCompressedFileData = 10,
};

// Share control codes.
constexpr std::uint8_t shareAdvertise = 0;
constexpr std::uint8_t shareWithdraw = 1;
// Flag bit of a FileReq: the sink accepts CompressedFileData.
constexpr std::uint8_t fileReqCompressed = 1;
// Flag bit of a ShareCtrl advertisement: fetch without asking the user.
constexpr std::uint32_t shareFetchAtOnce = 1;

} // namespace ft
