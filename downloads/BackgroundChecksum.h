#pragma once

#include "downloads/IncrementalChecksum.h"

/**
    An MD5 digest of data that arrives piece by piece, computed on a thread of its own while
    the data keeps coming, so that hashing a download overlaps with receiving and writing it.

    The pieces are copied into a ring buffer of ringBytes and hashed from there in order; a piece
    handed over while the ring is full waits for room. One producer thread calls update() and
    finish(); the object's own thread does the hashing.
*/
class BackgroundChecksum final : private juce::Thread
{
public:
    /** Starts the hashing thread. */
    BackgroundChecksum();

    /** Stops the hashing thread, whatever it had still to hash. */
    ~BackgroundChecksum() override;

    /** Hands over the next bytes of the data; waits while the ring buffer is full. */
    void update (const void* data, size_t numBytes);

    /** Waits until everything handed over is hashed and returns the checksum: 32 lower-case
        hexadecimal digits. No more bytes may be handed over afterwards.
    */
    juce::String finish();

    /** How much data may wait to be hashed. */
    static constexpr int ringBytes = 4 << 20;

private:
    void run() override;

    juce::HeapBlock<char> ring { (size_t) ringBytes };
    juce::AbstractFifo fifo { ringBytes };
    juce::WaitableEvent dataArrived, roomMade;
    std::atomic<bool> noMoreData { false };
    IncrementalChecksum checksum;

    JUCE_DECLARE_NON_COPYABLE_WITH_LEAK_DETECTOR (BackgroundChecksum)
};
