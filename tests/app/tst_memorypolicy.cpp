#include "platform/MemoryPolicy.h"

#include <QtTest>

#include <cstdlib>
#include <cstring>

#ifdef __GLIBC__
#include <malloc.h>
#endif

// Sanitizers bring an allocator of their own; the policy is glibc's.
#if defined(__SANITIZE_ADDRESS__)
#define NORV_FOREIGN_ALLOCATOR 1
#elif defined(__has_feature)
#if __has_feature(address_sanitizer) || __has_feature(memory_sanitizer)
#define NORV_FOREIGN_ALLOCATOR 1
#endif
#endif
#if defined(__GLIBC__) && !defined(NORV_FOREIGN_ALLOCATOR)
#define NORV_GLIBC_HEAP 1
#endif

namespace {
#ifdef NORV_GLIBC_HEAP
const size_t BigBlock = 16 * 1024 * 1024;
const size_t LargeBlock = 2 * 1024 * 1024;

// Bytes in blocks the allocator mapped on their own.
size_t mappedBytes()
{
    return mallinfo2().hblkhd;
}

// Written to, so the compiler keeps the allocation.
void* touchedBlock(size_t size)
{
    void* block = std::malloc(size);
    std::memset(block, 1, size);
    return block;
}
#endif
} // namespace

class TestMemoryPolicy : public QObject
{
    Q_OBJECT

private slots:
    void largeBlocksAreGivenBackWhenFreed();
};

void TestMemoryPolicy::largeBlocksAreGivenBackWhenFreed()
{
#ifndef NORV_GLIBC_HEAP
    QSKIP("only glibc's own allocator has this policy");
#else
    MemoryPolicy::apply();
    // Freeing a big mapped block is what raises glibc's threshold when left to itself.
    std::free(touchedBlock(BigBlock));

    const size_t before = mappedBytes();
    void* block = touchedBlock(LargeBlock);
    QVERIFY2(mappedBytes() >= before + LargeBlock, "a large block came from the heap, which keeps it once freed");
    std::free(block);
    QCOMPARE(mappedBytes(), before);
#endif
}

QTEST_APPLESS_MAIN(TestMemoryPolicy)
#include "tst_memorypolicy.moc"
