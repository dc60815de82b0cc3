#pragma once

#include <JuceHeader.h>

/** The benchmarks' shared test data. */
namespace BenchCatalog
{
/** A user catalog of 1,000 courses x 10 lessons x 10 chapters with realistic attribute lengths,
    written once per run to the temporary folder. Chapter ids are "C1xxxx-nnn".
*/
const juce::File& getLargeCatalogFile();

/** This run's own scratch folder in the temporary folder, created on first use; everything the
    benchmarks write goes inside it.
*/
const juce::File& getScratchFolder();

/** Deletes the scratch folder with everything in it; called once the benchmarks have run. */
void removeScratchFolder();

/** Writes a user catalog of that many courses x 10 lessons x 10 chapters to a file. */
void writeCatalog (const juce::File& file, int numCourses);
} // namespace BenchCatalog
