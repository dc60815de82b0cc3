#include "provider/CatalogService.h"

#include "provider/CatalogDocumentBuilder.h"

namespace provider
{
namespace
{
CatalogService::Answer answerWith (std::unique_ptr<juce::XmlElement> root, int status = 200)
{
    return { status, CatalogDocumentBuilder::toText (*root) };
}

CatalogService::Answer error (const juce::String& code, const juce::String& message, int status = 200)
{
    return answerWith (CatalogDocumentBuilder::buildError (code, message), status);
}

bool has (const juce::StringPairArray& query, const juce::String& name)
{
    return query.getAllKeys().contains (name);
}
} // namespace

CatalogService::CatalogService (ProviderAddresses addressesToUse, int refreshSecondsToUse)
    : addresses (std::move (addressesToUse)),
      refreshSeconds (refreshSecondsToUse)
{
}

bool CatalogService::isFlagSet (const juce::StringPairArray& query, const juce::String& name)
{
    const auto value = query.getValue (name, {}).trim();
    return value.isNotEmpty() && value != "0";
}

bool CatalogService::changedRecently (const LibraryState& state, juce::Time now) const
{
    return state.lastChange.has_value()
        && now - *state.lastChange < juce::RelativeTime::seconds (refreshSeconds);
}

CatalogService::Answer CatalogService::answer (const juce::StringPairArray& query,
                                               const LibraryState& state,
                                               const std::optional<juce::String>& maintenanceMessage,
                                               juce::Time now) const
{
    if (maintenanceMessage.has_value())
        return answerWith (CatalogDocumentBuilder::buildMaintenance (*maintenanceMessage));

    if (state.library == nullptr)
        return error ("dberror", "The course library is not available at the moment");

    const auto& library = *state.library;
    const auto lang = query.getValue ("lang", {});
    const bool languageGiven = has (query, "lang");

    if (languageGiven && ! Library::isSupportedLanguage (lang))
        return error ("unsupportedlanguage", "Catalogs are available in \"it\" and \"en\"");

    if (isFlagSet (query, "min"))
        return answerWith (CatalogDocumentBuilder::buildTranscripts (library, lang));

    const auto auth = query.getValue ("auth", "0");

    if (auth != "0" && auth != "1")
        return error ("badrequest", "auth must be 0 or 1", 400);

    if (! languageGiven)
        return error ("unsupportedlanguage", "The catalog language (lang) is missing");

    const LibraryUser* user = nullptr;

    if (auth == "1")
    {
        const auto userName = query.getValue ("username", {}).trim();
        const auto password = query.getValue ("password", {}).trim();

        if (userName.isEmpty() || password.isEmpty())
            return error ("userpwdmissing", "User name and password are required");

        user = library.findSignedInUser (userName, password);

        if (user == nullptr)
            return error ("loginerror", "Wrong user name or password");
    }

    if (! isFlagSet (query, "nocache") && ! changedRecently (state, now))
        return answerWith (CatalogDocumentBuilder::buildNotModified (refreshSeconds));

    return { 200, renderCatalog (state.library, lang, user) };
}

juce::String CatalogService::renderCatalog (const std::shared_ptr<const Library>& library, const juce::String& lang, const LibraryUser* user) const
{
    const auto key = lang + "\n" + (user != nullptr ? user->id : juce::String());

    {
        const std::lock_guard<std::mutex> scope (rendered->lock);

        if (rendered->library == library)
        {
            auto found = rendered->documents.find (key);

            if (found != rendered->documents.end())
                return found->second;
        }
    }

    const auto text = CatalogDocumentBuilder::toText (*CatalogDocumentBuilder::buildCatalog (*library, lang, user, addresses, refreshSeconds));

    const std::lock_guard<std::mutex> scope (rendered->lock);

    if (rendered->library != library)
    {
        rendered->library = library;
        rendered->documents.clear();
    }

    rendered->documents[key] = text;
    return text;
}
} // namespace provider
