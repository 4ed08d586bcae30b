#include "db/ColumnStore.h"

#include <algorithm>
#include <cstdlib>
#include <new>

#include <sys/mman.h>

namespace vesko::db {

void ColumnStore::Free::operator()(char *chunk) const
{
    std::free(chunk);
}

void ColumnStore::startBlock()
{
    if (!m_cursor)
        grow(0);
    m_blockStarts.push_back(m_cursor);
    m_nulls.push_back(0);
}

// Starts a new chunk and moves the bytes of the current block into it, so
// that a block never spans two chunks. The copy is at most one block.
void ColumnStore::grow(std::size_t size)
{
    const char *blockStart = m_blockStarts.empty() ? m_cursor : m_blockStarts.back();
    const std::size_t blockBytes = std::size_t(m_cursor - blockStart);
    const std::size_t chunkSize = std::max(m_nextChunk, 2 * blockBytes + size);
    std::unique_ptr<char, Free> chunk(static_cast<char *>(
        chunkSize % kLargestChunk == 0 ? std::aligned_alloc(kLargestChunk, chunkSize) : std::malloc(chunkSize)));
    if (!chunk)
        throw std::bad_alloc();
    if (chunkSize % kLargestChunk == 0)
        madvise(chunk.get(), chunkSize, MADV_HUGEPAGE);
    if (blockBytes)
        std::memcpy(chunk.get(), blockStart, blockBytes);
    if (!m_blockStarts.empty())
        m_blockStarts.back() = chunk.get();
    m_cursor = chunk.get() + blockBytes;
    m_end = chunk.get() + chunkSize;
    m_chunks.push_back(std::move(chunk));
    m_chunkBytes += chunkSize;
    m_nextChunk = std::min(m_nextChunk * 2, kLargestChunk);
}

void ColumnStore::squeeze()
{
    m_blockStarts.shrink_to_fit();
    m_lengths.shrink_to_fit();
    m_longLengths.shrink_to_fit();
    m_nulls.shrink_to_fit();
    m_chunks.shrink_to_fit();
}

std::size_t ColumnStore::lengthAt(qint64 row) const
{
    const std::uint8_t length = m_lengths[std::size_t(row)];
    if (length != kLongLength)
        return length;
    const auto it = std::lower_bound(m_longLengths.cbegin(), m_longLengths.cend(), row,
                                     [](const auto &entry, qint64 r) { return entry.first < r; });
    return it->second;
}

std::string_view ColumnStore::at(qint64 row) const
{
    const qint64 first = row & ~kBlockMask;
    std::size_t offset = 0;
    for (qint64 r = first; r < row; ++r)
        offset += lengthAt(r);
    return {m_blockStarts[std::size_t(row >> kBlockShift)] + offset, lengthAt(row)};
}

std::size_t ColumnStore::memoryBytes() const
{
    return sizeof(*this) + m_chunkBytes + m_chunks.capacity() * sizeof(m_chunks.front())
        + m_blockStarts.capacity() * sizeof(const char *) + m_lengths.capacity()
        + m_longLengths.capacity() * sizeof(m_longLengths.front()) + m_nulls.capacity() * sizeof(std::uint64_t);
}

} // namespace vesko::db
