#pragma once

#include <QtGlobal>

#include <cstdint>
#include <cstring>
#include <memory>
#include <string_view>
#include <utility>
#include <vector>

namespace vesko::db {

// The cells of one result column as UTF-8 bytes, appended row by row.
//
// Bytes go into chunks of bounded size, so a large result never pays for a
// growing buffer's doubling. Per cell there is one length byte and one Null
// bit; the position of a cell is found from the start of its block of 64
// rows, whose bytes always lie together in one chunk.
class ColumnStore
{
public:
    ColumnStore() = default;
    ColumnStore(ColumnStore &&) noexcept = default;
    ColumnStore &operator=(ColumnStore &&) noexcept = default;

    void append(const char *data, std::size_t size)
    {
        if ((m_rows & kBlockMask) == 0)
            startBlock();
        if (size > std::size_t(m_end - m_cursor))
            grow(size);
        copy(m_cursor, data, size);
        m_cursor += size;
        if (size > m_widestSize) {
            m_widestSize = size;
            m_widestRow = m_rows;
        }
        if (size < kLongLength) {
            m_lengths.push_back(std::uint8_t(size));
        } else {
            m_lengths.push_back(kLongLength);
            m_longLengths.emplace_back(m_rows, size);
        }
        ++m_rows;
    }

    void appendNull()
    {
        if ((m_rows & kBlockMask) == 0)
            startBlock();
        m_nulls.back() |= std::uint64_t(1) << (m_rows & kBlockMask);
        m_lengths.push_back(0);
        ++m_rows;
    }

    // Gives back the spare capacity of the index vectors once all rows are in.
    void squeeze();

    qint64 size() const { return m_rows; }
    bool isNull(qint64 row) const { return (m_nulls[std::size_t(row >> kBlockShift)] >> (row & kBlockMask)) & 1; }
    std::string_view at(qint64 row) const;
    // The first row of the longest value, -1 while every value is empty.
    qint64 widestRow() const { return m_widestRow; }
    // Bytes held, bookkeeping included.
    std::size_t memoryBytes() const;

private:
    static constexpr int kBlockShift = 6;
    static constexpr qint64 kBlockMask = (qint64(1) << kBlockShift) - 1;
    static constexpr std::uint8_t kLongLength = 255;
    static constexpr std::size_t kFirstChunk = 4 * 1024;
    // Chunks of the largest size are huge-page aligned, so that filling them
    // takes one page fault per 2 MiB instead of 512.
    static constexpr std::size_t kLargestChunk = 2 * 1024 * 1024;

    // Most cells are short: two overlapping fixed-size moves copy them
    // without a call into the C library.
    static void copy(char *to, const char *from, std::size_t size)
    {
        if (size >= 8 && size <= 16) {
            std::memcpy(to, from, 8);
            std::memcpy(to + size - 8, from + size - 8, 8);
        } else if (size >= 4 && size < 8) {
            std::memcpy(to, from, 4);
            std::memcpy(to + size - 4, from + size - 4, 4);
        } else if (size > 16) {
            std::memcpy(to, from, size);
        } else {
            for (std::size_t i = 0; i < size; ++i)
                to[i] = from[i];
        }
    }

    void startBlock();
    void grow(std::size_t size);
    std::size_t lengthAt(qint64 row) const;

    struct Free
    {
        void operator()(char *chunk) const;
    };
    std::vector<std::unique_ptr<char, Free>> m_chunks;
    std::size_t m_chunkBytes = 0;
    std::size_t m_nextChunk = kFirstChunk;
    char *m_cursor = nullptr;
    char *m_end = nullptr;
    std::vector<const char *> m_blockStarts;
    std::vector<std::uint8_t> m_lengths;
    std::vector<std::pair<qint64, std::size_t>> m_longLengths;
    std::vector<std::uint64_t> m_nulls;
    qint64 m_rows = 0;
    std::size_t m_widestSize = 0;
    qint64 m_widestRow = -1;
};

} // namespace vesko::db
