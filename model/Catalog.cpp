#include "model/Catalog.h"

const Chapter* Catalog::getChapter (const juce::String& chapterId) const
{
    const auto found = chaptersById.find (chapterId);
    return found != chaptersById.end() ? found->second.get() : nullptr;
}

bool Catalog::findChapterPosition (const juce::String& chapterId, Position& result) const
{
    for (int c = 0; c < courses.size(); ++c)
    {
        const auto& lessons = courses.getUnchecked (c)->lessons;

        for (int l = 0; l < lessons.size(); ++l)
        {
            const auto position = lessons.getUnchecked (l)->chapterIds.indexOf (chapterId);

            if (position >= 0)
            {
                result = { c, l, position };
                return true;
            }
        }
    }

    return false;
}

void Catalog::clearContents()
{
    chaptersById.clear();
    courses.clear();
}
