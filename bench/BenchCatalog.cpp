#include "bench/BenchCatalog.h"

void BenchCatalog::writeCatalog (const juce::File& file, int numCourses)
{
    juce::Random random (1234);
    juce::MemoryOutputStream out;
    out << "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
        << "<catalog userid=\"4711\" username=\"Mario Rossi\" baseurl=\"http://127.0.0.1:8642/videos/\" "
        << "homeurl=\"http://127.0.0.1:8642/home\" win_version=\"1.36\" "
        << "win_app=\"http://127.0.0.1:8642/installer/TSY-Player Setup 1.36.exe\" win_app_size=\"31457280\">\n";

    for (int c = 0; c < numCourses; ++c)
    {
        const auto courseId = "C" + juce::String (10000 + c);
        out << "  <course id=\"" << courseId << "\" title=\"Course " << c
            << ": Modelling, Texturing &amp; Lighting in Depth\" description=\"A complete walk through the "
               "workflow of a production scene, from the first blocking to the final render.\" "
            << "keywords=\"modelling, texturing, &quot;hard surface&quot;, lighting render\" duration=\""
            << juce::String (3600.0 + random.nextInt (20000), 1) << "\" resolution=\"1280x720\" "
            << "language=\"English\" platform=\"Any\" url=\"http://127.0.0.1:8642/courses/"
            << courseId << "\" coverurl=\"http://127.0.0.1:8642/extras/0f343b0931126a20f133d67c2b018a3b\" "
            << "creditsurl=\"http://127.0.0.1:8642/extras/9e107d9d372bb6826bd81d3542a419d6\" "
            << "partnersurl=\"http://127.0.0.1:8642/extras/e4d909c290d0fb1ca068ffaddf22cbd0\">\n";

        for (int l = 0; l < 10; ++l)
        {
            out << "    <lesson title=\"Lesson " << (l + 1) << ": Working with edge loops\" order=\"" << (l + 1)
                << "\">\n";

            for (int p = 0; p < 10; ++p)
            {
                const auto chapterId = courseId + "-" + juce::String (l * 10 + p + 1).paddedLeft ('0', 3);
                out << "      <chapter id=\"" << chapterId << "\" order=\"" << (p + 1)
                    << "\" title=\"Chapter " << (p + 1) << ": Extruding and bevelling the main body\" "
                    << "description=\"We extrude the faces and bevel the borders to catch the light.\" "
                    << "duration=\"" << juce::String (60.0 + random.nextInt (900) + random.nextFloat(), 2)
                    << "\" native_resolution=\"1280x720\" md5=\""
                    << juce::MD5 (chapterId.toUTF8()).toHexString() << "\" size=\""
                    << (1000000 + random.nextInt (50000000)) << "\" date=\"2013-"
                    << juce::String (1 + random.nextInt (12)).paddedLeft ('0', 2) << "-"
                    << juce::String (1 + random.nextInt (28)).paddedLeft ('0', 2) << "\"/>\n";
            }

            out << "    </lesson>\n";
        }

        out << "  </course>\n";
    }

    out << "</catalog>\n";
    file.replaceWithData (out.getData(), out.getDataSize());
}

const juce::File& BenchCatalog::getLargeCatalogFile()
{
    static const auto file = [] {
        const auto written = getScratchFolder().getChildFile ("catalog.xml");
        writeCatalog (written, 1000);
        return written;
    }();

    return file;
}

const juce::File& BenchCatalog::getScratchFolder()
{
    static const auto folder = [] {
        auto created = juce::File::createTempFile ("tsy-bench");
        created.createDirectory();
        return created;
    }();

    return folder;
}

void BenchCatalog::removeScratchFolder()
{
    getScratchFolder().deleteRecursively();
}
