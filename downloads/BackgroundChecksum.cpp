#include "downloads/BackgroundChecksum.h"

#include "model/ThreadStop.h"

BackgroundChecksum::BackgroundChecksum() : Thread ("checksum")
{
    startThread (Priority::background);
}

BackgroundChecksum::~BackgroundChecksum()
{
    noMoreData = true;
    signalThreadShouldExit();
    dataArrived.signal();
    stopThread (ThreadStop::timeoutMs);
}

void BackgroundChecksum::update (const void* data, size_t numBytes)
{
    auto* bytes = static_cast<const char*> (data);

    while (numBytes > 0)
    {
        int written = 0;

        {
            const auto scope = fifo.write ((int) juce::jmin (numBytes, (size_t) ringBytes));
            memcpy (ring + scope.startIndex1, bytes, (size_t) scope.blockSize1);
            memcpy (ring + scope.startIndex2, bytes + scope.blockSize1, (size_t) scope.blockSize2);
            written = scope.blockSize1 + scope.blockSize2;
        }

        if (written == 0)
        {
            roomMade.wait (100);
            continue;
        }

        bytes += written;
        numBytes -= (size_t) written;
        dataArrived.signal();
    }
}

juce::String BackgroundChecksum::finish()
{
    noMoreData = true;
    dataArrived.signal();
    waitForThreadToExit (-1);
    return checksum.finish();
}

void BackgroundChecksum::run()
{
    for (;;)
    {
        // Read before the ring is looked at, so that data handed over before the end was
        // announced is always hashed.
        const auto ending = noMoreData.load();
        const auto available = fifo.getNumReady();

        if (available == 0)
        {
            if (ending || threadShouldExit())
                return;

            dataArrived.wait (100);
            continue;
        }

        {
            const auto scope = fifo.read (available);
            checksum.update (ring + scope.startIndex1, (size_t) scope.blockSize1);
            checksum.update (ring + scope.startIndex2, (size_t) scope.blockSize2);
        }

        roomMade.signal();
    }
}
