#include "provider/HomePageTexts.h"

namespace provider
{
namespace
{
const HomePageTexts italian {
    "it",
    "Benvenuto su %s",
    "Ciao, %s!",
    "Felici di rivederti. Ecco i corsi del catalogo: scegline uno nell'elenco di TSY-Player per scaricarne i capitoli.",
    "Accedi con l'e-mail e la password del tuo account Tessaly all'avvio di TSY-Player per scaricare i capitoli e tenerli aggiornati.",
    "Non \xc3\xa8 stato possibile confermare l'accesso: controlla l'e-mail e la password in TSY-Player.",
    "Il catalogo \xc3\xa8 in manutenzione; i video e i contenuti extra si possono comunque scaricare.",
    "Il catalogo dei corsi non \xc3\xa8 disponibile in questo momento. Riprova tra poco.",
    "Aggiornamenti da scaricare",
    "Di questi capitoli che hai scaricato c'\xc3\xa8 una versione pi\xc3\xb9 recente: scaricali di nuovo da TSY-Player.",
    "capitolo non pi\xc3\xb9 presente nel catalogo",
    "I corsi",
    "Non ci sono ancora corsi in italiano.",
    "1 lezione",
    "%s lezioni",
    "1 capitolo",
    "%s capitoli",
    "Tutti i corsi",
    "Risoluzione",
    "Piattaforme",
    "Ultima versione di TSY-Player: %s",
};

const HomePageTexts english {
    "en",
    "Welcome to %s",
    "Welcome back, %s",
    "Good to see you again. Here are the courses of the catalog: pick one in TSY-Player's list to download its chapters.",
    "Sign in with the e-mail address and password of your Tessaly account when TSY-Player starts, to download chapters and keep them up to date.",
    "Your sign-in could not be confirmed: check the e-mail address and password in TSY-Player.",
    "The catalog is undergoing maintenance; videos and extras can still be downloaded.",
    "The course catalog is not available at the moment. Please try again shortly.",
    "Updates to download",
    "These chapters you downloaded have a newer version: download them again in TSY-Player.",
    "chapter no longer in the catalog",
    "Courses",
    "There are no courses in English yet.",
    "1 lesson",
    "%s lessons",
    "1 chapter",
    "%s chapters",
    "All courses",
    "Resolution",
    "Platforms",
    "Latest TSY-Player: %s",
};
} // namespace

const HomePageTexts& HomePageTexts::forLanguage (const juce::String& lang)
{
    return lang == "it" ? italian : english;
}

juce::String HomePageTexts::fill (const char* text, const juce::String& value)
{
    return juce::String::fromUTF8 (text).replace ("%s", value);
}
} // namespace provider
