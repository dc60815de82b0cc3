#pragma once

#include <JuceHeader.h>

#include <zlib.h>

/** A ZIP archive of one entry of zeros that expands to far more than its size, written the way
    such archives are made: the deflate stream of one MiB of zeros, ended by a full flush so
    that it stands alone, repeated, then one empty final block. The entry may claim a smaller
    size than it expands to, as a lying archive would.
*/
namespace ZipBomb
{
inline juce::MemoryBlock make (const juce::String& entryName, int mebibytes, juce::int64 claimedBytes)
{
    constexpr uInt chunk = 1 << 20;
    std::vector<Bytef> zeros (chunk, 0), compressed (chunk);
    z_stream z {};
    deflateInit2 (&z, 9, Z_DEFLATED, -15, 9, Z_DEFAULT_STRATEGY);
    z.next_in = zeros.data();
    z.avail_in = chunk;
    z.next_out = compressed.data();
    z.avail_out = chunk;
    deflate (&z, Z_FULL_FLUSH);
    const auto chunkSize = (size_t) (chunk - z.avail_out);
    deflateEnd (&z);

    const uLong zeroCrc = crc32 (0, zeros.data(), chunk);
    uLong crc = crc32 (0, nullptr, 0);

    for (int i = 0; i < mebibytes; ++i)
        crc = crc32_combine (crc, zeroCrc, chunk);

    const auto name = entryName.toRawUTF8();
    const auto nameLength = (short) strlen (name);
    const auto dataSize = (int) (chunkSize * (size_t) mebibytes + 2);
    const auto fixedFields = [&] (juce::MemoryOutputStream& out)
    {
        out.writeShort (20);
        out.writeShort (0);
        out.writeShort (8);
        out.writeShort (0);
        out.writeShort (0x21);
        out.writeInt ((int) crc);
        out.writeInt (dataSize);
        out.writeInt ((int) claimedBytes);
        out.writeShort (nameLength);
        out.writeShort (0);
    };

    juce::MemoryOutputStream out;
    out.writeInt (0x04034b50);
    fixedFields (out);
    out.write (name, (size_t) nameLength);

    for (int i = 0; i < mebibytes; ++i)
        out.write (compressed.data(), chunkSize);

    const juce::uint8 finalEmptyBlock[] = { 0x03, 0x00 };
    out.write (finalEmptyBlock, sizeof (finalEmptyBlock));

    const auto directoryStart = (int) out.getPosition();
    out.writeInt (0x02014b50);
    out.writeShort (20);
    fixedFields (out);
    out.writeShort (0);
    out.writeShort (0);
    out.writeShort (0);
    out.writeInt (0);
    out.writeInt (0);
    out.write (name, (size_t) nameLength);
    const auto directorySize = (int) out.getPosition() - directoryStart;

    out.writeInt (0x06054b50);
    out.writeShort (0);
    out.writeShort (0);
    out.writeShort (1);
    out.writeShort (1);
    out.writeInt (directorySize);
    out.writeInt (directoryStart);
    out.writeShort (0);
    return out.getMemoryBlock();
}
} // namespace ZipBomb
