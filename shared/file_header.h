// What the backup and the profile file share: the 8-byte header, and the texts and captions of
// the readers' messages.
#pragma once

#include <cstdint>

#include "base/byte_codec.h"
#include "base/result.h"

namespace vlt {

inline constexpr DWORD kFileMagic = 123;
inline constexpr DWORD kFileVersion = 100;

inline constexpr char kFileOpenErrorText[] = "File open error...";
inline constexpr char kNotVltFileText[] = "Please check, the selected file is not a VLT File...";
inline constexpr char kNotVltProfileText[] = "Please check, the selected file is not a VLT Profile...";
inline constexpr char kIncorrectVersionText[] = "Incorrect version...";
inline constexpr char kEmergencyCaption[] = "VLT Emergency Report";
inline constexpr char kStatusCaption[] = "VLT Status Report";

// Why a file was refused; the Error::code of a failed parse.
enum class FileProblem : std::uint32_t {
    Empty = 1,       // no bytes
    BadMagic = 2,    // first word not 123, or shorter than the header
    BadVersion = 3,  // second word not 100
    Malformed = 4,   // a length runs past the end, or the contents do not fit the layout
};

inline Error fileProblem(FileProblem problem, std::string message) {
    return Error{static_cast<std::uint32_t>(problem), std::move(message)};
}
inline FileProblem problemOf(const Error& e) { return static_cast<FileProblem>(e.code); }

// Checks the header and leaves the reader after it.
inline Result<void> readFileHeader(ByteReader& in) {
    if (in.atEnd()) return fileProblem(FileProblem::Empty, "empty file");
    DWORD magic = 0;
    DWORD version = 0;
    if (!in.u32(magic) || magic != kFileMagic) return fileProblem(FileProblem::BadMagic, "not a VLT file");
    if (!in.u32(version)) return fileProblem(FileProblem::BadMagic, "header cut short");
    if (version != kFileVersion) return fileProblem(FileProblem::BadVersion, "unknown version");
    return {};
}

inline void appendFileHeader(Bytes& out) {
    appendU32(out, kFileMagic);
    appendU32(out, kFileVersion);
}

}  // namespace vlt
