// The batched chunk loop writes what a loop of one call per 160-byte chunk writes, at and around
// the batch boundaries and on both providers, and Cancel in the middle of a file stops it there.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <unistd.h>

#include "shellext/file_ops.h"
#include "shellext/process_state.h"
#include "shellext/progress.h"
#include "support/sandbox.h"

namespace vlt::test {
namespace {

using Bytes = std::vector<unsigned char>;
constexpr std::size_t kBatch = shellext::kChunksPerCall * kChunk;

Bytes pattern(std::size_t n) {
    Bytes v(n);
    for (std::size_t i = 0; i < n; ++i) v[i] = static_cast<unsigned char>((i * 131 + i / 251) & 0xFF);
    return v;
}

// What the locked file's body is: one call per chunk, the last (short or empty) one final.
Bytes lockChunkByChunk(HCRYPTKEY key, const Bytes& plain) {
    Bytes out;
    for (std::size_t pos = 0;; pos += kChunk) {
        const std::size_t take = std::min(kChunk, plain.size() - pos);
        BYTE chunk[kChunk + 16];
        std::copy_n(plain.begin() + static_cast<long>(pos), take, chunk);
        DWORD length = static_cast<DWORD>(take);
        EXPECT_TRUE(CryptEncrypt(key, 0, take < kChunk, 0, chunk, &length, sizeof chunk));
        out.insert(out.end(), chunk, chunk + length);
        if (take < kChunk) return out;
    }
}

class ChunkBatches : public ::testing::TestWithParam<const char*> {
protected:
    void SetUp() override {
        ASSERT_TRUE(CryptAcquireContextA(&m_prov, nullptr, GetParam(), PROV_RSA_FULL, CRYPT_VERIFYCONTEXT));
        ASSERT_TRUE(CryptGenKey(m_prov, CALG_RC2, CRYPT_EXPORTABLE, &m_key));
    }
    void TearDown() override {
        CryptDestroyKey(m_key);
        CryptReleaseContext(m_prov, 0);
    }
    // A fresh copy of the session key, as a file's run gets it.
    HCRYPTKEY key() {
        HCRYPTKEY copy = 0;
        EXPECT_TRUE(CryptDuplicateKey(m_key, nullptr, 0, &copy));
        return copy;
    }
    // The input through cryptChunks; empty when it did not end Done.
    Bytes pass(shellext::ChunkDirection direction, const Bytes& input, shellext::FileOutcome& outcome) {
        writeFile(m_box.path("in"), input);
        const int fd = open(m_box.path("in").c_str(), O_RDONLY);
        auto output = sys::AtomicFile::create(m_box.path("out"));
        EXPECT_TRUE(fd >= 0 && output);
        const HCRYPTKEY k = key();
        outcome = shellext::cryptChunks(fd, k, direction, input.size(), "file", *output);
        CryptDestroyKey(k);
        close(fd);
        if (outcome != shellext::FileOutcome::Done || !output->commit()) return {};
        auto bytes = readFile(m_box.path("out"));
        unlink(m_box.path("out").c_str());
        return bytes;
    }

    Sandbox m_box;
    HCRYPTPROV m_prov = 0;
    HCRYPTKEY m_key = 0;
};
INSTANTIATE_TEST_SUITE_P(Providers, ChunkBatches, ::testing::Values(MS_DEF_PROV_A, MS_ENHANCED_PROV_A),
                         [](const auto& p) { return p.param == std::string(MS_DEF_PROV_A) ? "Base" : "Enhanced"; });

TEST_P(ChunkBatches, SameBytesAsOneCallPerChunk) {
    // Around one batch, two (where unlocking starts to share the work) and a few.
    for (std::size_t size :
         {std::size_t{0}, kChunk - 1, kBatch - 1, kBatch, kBatch + 1, 2 * kBatch + 7, 2 * kBatch + kChunk}) {
        SCOPED_TRACE(size);
        const Bytes plain = pattern(size);
        const HCRYPTKEY reference = key();
        const Bytes expected = lockChunkByChunk(reference, plain);
        CryptDestroyKey(reference);
        shellext::FileOutcome outcome{};
        const Bytes locked = pass(shellext::ChunkDirection::Lock, plain, outcome);
        ASSERT_EQ(outcome, shellext::FileOutcome::Done);
        ASSERT_EQ(locked, expected);
        EXPECT_EQ(pass(shellext::ChunkDirection::Unlock, locked, outcome), plain);
        EXPECT_EQ(outcome, shellext::FileOutcome::Done);
    }
    // A ciphertext cut short of a whole block fails at its end, after the shared batches.
    const Bytes plain = pattern(2 * kBatch + kChunk);
    const HCRYPTKEY reference = key();
    Bytes locked = lockChunkByChunk(reference, plain);
    CryptDestroyKey(reference);
    locked.resize(locked.size() - 3);
    shellext::FileOutcome outcome{};
    EXPECT_TRUE(pass(shellext::ChunkDirection::Unlock, locked, outcome).empty());
    EXPECT_EQ(outcome, shellext::FileOutcome::Failed);
}

TEST_P(ChunkBatches, CancelInTheSecondBatchStopsThereAndLeavesNoOutput) {
    struct CancelAt final : shellext::Progress {
        void reset() override {}
        void showText(const std::string&) override {}
        void setRange(std::uint16_t maximum) override { range = maximum; }
        void step() override {
            if (++steps == cancelAt) shellext::g_cancel.store(1);
        }
        void close(shellext::RunResult) override {}
        int range = 0, steps = 0, cancelAt = 0;
    };
    const Bytes plain = pattern(4 * kBatch);
    for (auto direction : {shellext::ChunkDirection::Lock, shellext::ChunkDirection::Unlock}) {
        const HCRYPTKEY reference = key();
        const Bytes input = direction == shellext::ChunkDirection::Lock ? plain : lockChunkByChunk(reference, plain);
        CryptDestroyKey(reference);
        CancelAt progress;
        progress.cancelAt = shellext::ScaledProgress(nullptr, input.size() / kChunk + 1).range() / 4 * 3 / 2;
        shellext::g_progress.store(&progress);
        shellext::FileOutcome outcome{};
        EXPECT_TRUE(pass(direction, input, outcome).empty());
        shellext::g_progress.store(nullptr);
        shellext::g_cancel.store(0);
        EXPECT_EQ(outcome, shellext::FileOutcome::Cancelled);
        EXPECT_LE(progress.steps, progress.range / 4 * 2 + 1) << "stopped after the batch it was pressed in";
        EXPECT_FALSE(fileExists(m_box.path("out")));
    }
}

}  // namespace
}  // namespace vlt::test
