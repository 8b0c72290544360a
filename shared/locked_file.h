// The locked-file format (.Vtf): a header naming sender and source, the key block with the
// session key wrapped under the recipient's exchange key, then RC2 ciphertext.
//
//   offset 0   1 byte   1
//          1   1 byte   0
//          2   4 bytes  header length: the four strings below, each counted as 4 + length
//          6   4 + 14   "Vaultine File."
//              4 + S    sender (display name of the user who locked it, or "Unknown")
//              4 + P    full path of the source file
//              4 + N    source file name
//   key block: 4 bytes algorithm word (ALG_ID | 0x10000000 for the Enhanced provider),
//              4 bytes L, L bytes SIMPLEBLOB
//   ciphertext: the file in 160-byte chunks, PKCS #5 padding on the last
// Integers are 32-bit little-endian; strings are ANSI bytes without terminator.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "base/byte_codec.h"
#include "sys/files.h"
#include "win32/windef.h"

namespace vlt {

inline constexpr char kLockedFileMagic[] = "Vaultine File.";
inline constexpr std::size_t kLockedFileMagicLength = 14;
inline constexpr std::size_t kChunk = 160;
inline constexpr DWORD kEnhancedBit = 0x10000000;
inline constexpr const char* kLockedExtension = ".Vtf";

struct LockedFileHeader {
    BYTE format1 = 1;
    BYTE format2 = 0;
    DWORD headerLength = 0;
    std::string magic;
    std::string sender;
    std::string sourcePath;
    std::string sourceName;
};

struct KeyBlock {
    DWORD algorithmWord = 0;
    std::vector<BYTE> blob;
};

std::vector<BYTE> buildHeader(const std::string& sender, const std::string& sourcePath, const std::string& sourceName);
std::vector<BYTE> buildKeyBlock(DWORD algorithmWord, const std::vector<BYTE>& blob);

// Anything bytes can be read from in order.
class ByteSource {
public:
    virtual ~ByteSource() = default;
    // Up to size bytes; fewer only at the end. -1 on an I/O error.
    virtual long read(void* out, std::size_t size) = 0;
};

class MemorySource final : public ByteSource {
public:
    MemorySource(const BYTE* data, std::size_t size) : m_data(data), m_size(size) {}
    long read(void* out, std::size_t size) override;

private:
    const BYTE* m_data;
    std::size_t m_size;
    std::size_t m_offset = 0;
};

// A locked file read through a buffered reader.
class ReaderSource final : public ByteSource {
public:
    explicit ReaderSource(sys::BufferedReader& reader) : m_reader(reader) {}
    long read(void* out, std::size_t size) override { return m_reader.read(out, size); }

private:
    sys::BufferedReader& m_reader;
};

enum class HeadStatus { Ok, NotLocked, Damaged };

struct LockedFileHead {
    HeadStatus status = HeadStatus::Damaged;
    LockedFileHeader header;
    KeyBlock keyBlock;
    std::uint64_t ciphertextOffset = 0;
    std::uint64_t ciphertextLength = 0;
};

// Reads header and key block from the start of a locked file of fileSize bytes. Every length
// is checked against what remains: a file whose magic differs is NotLocked, one whose lengths
// run past its end, or whose ciphertext cannot be whole blocks, is Damaged.
LockedFileHead readLockedFileHead(ByteSource& source, std::uint64_t fileSize);

// Names travel in the Windows ANSI code page. A name that code page cannot hold is stored as
// its UTF-8 bytes; a stored name that is valid UTF-8 is taken as it is, otherwise as ANSI.
std::string nameToHeader(const std::string& native);
std::string nameFromHeader(const std::string& stored);

// A source name from a header may be used as a file name in the locked file's folder only
// when it is a plain name: not empty, not "." or "..", no '/' or NUL, at most 255 bytes.
bool isPlainFileName(const std::string& name);

}  // namespace vlt
