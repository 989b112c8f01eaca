#include "InterfaceCaptions.h"

#include <QObject>
#include <QVariant>

namespace {

// Languages in column order: English, French, Spanish, German, Italian, Portuguese, Dutch.
// The texts are the window's own, kept exactly as they have always read.
const CaptionRow kCaptionRows[] = {
    {CaptionKind::Caption, "Nouveau1", {"&File", "&Fichier", "&Archivo", "&Datei", "&File", "&Ficheiro", "&Bestand"}},
    {CaptionKind::Caption, "sfsf1", {"&New", "&Nouveau", "&Nuevo", "&Neu", "&Nuovo", "&Novo", "&Nieuw"}},
    {CaptionKind::Caption, "Ouvrir1", {"&Open", "&Ouvrir", "&Abrir", "Öffn&en", "&Apri", "&Abrir", "&Openen"}},
    {CaptionKind::Caption,
     "TranslateDocument1",
     {"&Translate document…", "&Traduire un document…", "&Traducir documento…", "Dokument &übersetzen…",
      "&Traduci documento…", "&Traduzir documento…", "Document &vertalen…"}},
    {CaptionKind::Caption,
     "Enregistrer1",
     {"&Save", "&Sauvegarder", "&Guardar", "&Speichern", "&Salva", "&Gravar", "&Bewaar"}},
    {CaptionKind::Caption,
     "Enregistrersous1",
     {"Save As", "Enregistrer sous", "Guardar como", "Speichern unter", "Salva con nome", "Gravar Como",
      "Opslaan als"}},
    {CaptionKind::Caption,
     "ExportMemory1",
     {"&Export translation memory…", "&Exporter la mémoire de traduction…", "&Exportar memoria de traducción…",
      "Übersetzungsspeicher e&xportieren…", "Es&porta memoria di traduzione…", "&Exportar memória de tradução…",
      "Vertaalgeheugen &exporteren…"}},
    {CaptionKind::Caption,
     "ImportMemory1",
     {"&Import translation memory…", "I&mporter une mémoire de traduction…", "Im&portar memoria de traducción…",
      "Übersetzungsspeicher &importieren…", "&Importa memoria di traduzione…", "Im&portar memória de tradução…",
      "Vertaalgeheugen &importeren…"}},
    {CaptionKind::Caption,
     "Print1",
     {"&Print", "&Imprimer", "&Imprimir", "&Drucken", "&Stampa", "&Imprimir", "&Druk af"}},
    {CaptionKind::Caption,
     "N2",
     {"Printer Setup", "Réglage de l'imprimante", "Configuración de impresora", "Druckereinstellung",
      "Impostazioni Stampante", "Configuraçao da impressora", "Printer instellingen"}},
    {CaptionKind::Caption, "Quitter1", {"E&xit", "&Quitter", "&Salir", "&Beenden", "&Esci", "&Sair", "&Afsluiten"}},
    {CaptionKind::Caption,
     "Edit1",
     {"&Edit", "&Edition", "&Editar", "&Editieren", "&Modifica", "&Editar", "B&ewerken"}},
    {CaptionKind::Caption,
     "Couper2",
     {"Cu&t", "Co&uper", "Cor&tar", "&Ausschneiden", "&Taglia", "Cor&tar", "K&nippen"}},
    {CaptionKind::Caption, "Copier1", {"&Copy", "&Copier", "&Copiar", "&Kopieren", "&Copia", "&Copiar", "Ko&pieren"}},
    {CaptionKind::Caption, "Coller1", {"&Paste", "Co&ller", "&Pegar", "&Einfügen", "&Incolla", "Co&lar", "&Plakken"}},
    {CaptionKind::Caption, "Find1", {"&Find", "&Rechercher", "&Buscar", "&Suchen", "&Trova", "&Procurar", "&Zoek"}},
    {CaptionKind::Caption,
     "FindNext1",
     {"Find &Next", "&Continuer recherche", "Buscar &siguiente", "Wei&tersuchen", "Cerca &successivo",
      "Procurar p&róxima", "&Volgende zoeken"}},
    {CaptionKind::Caption,
     "Replace1",
     {"&Replace", "&Remplacer", "&Reemplazar", "&Ersetzen", "&Cambia", "&Substituir", "Ve&rvang"}},
    {CaptionKind::Caption,
     "Dfaire1",
     {"&Undo", "&Défaire", "&Deshacer", "&Rückgängig", "&Annulla", "&Desfazer", "&On&gedaan maken"}},
    {CaptionKind::Caption,
     "outslectionner1",
     {"Select &All", "Selectionner &tout", "Seleccionar &todo", "Alle auswählen", "Secgli &tutti", "Seleccionar &Tudo",
      "&Alles selecteren"}},
    {CaptionKind::Caption,
     "ranslate1",
     {"&Translate", "&Traduire", "&Traducir", "&Bersetzen", "&Tradurre", "&Traduzir", "&Vertalen"}},
    {CaptionKind::Caption,
     "ranslate2",
     {"&Translate", "&Traduire", "&Traducir", "&Bersetzen", "&Tradurre", "&Traduzir", "&Vertalen"}},
    {CaptionKind::Caption,
     "DetectLanguage1",
     {"&Detect language", "&Détecter la langue", "&Detectar idioma", "Sprache &erkennen", "&Rileva lingua",
      "&Detetar idioma", "Taal &herkennen"}},
    {CaptionKind::Caption,
     "History1",
     {"&History…", "&Historique…", "&Historial…", "&Verlauf…", "&Cronologia…", "&Histórico…", "&Geschiedenis…"}},
    {CaptionKind::Caption,
     "Options1",
     {"&Options", "&Options", "&Opciones", "&Optionen", "&Opzioni", "&Opções", "&Opties"}},
    {CaptionKind::Caption,
     "InterfaceLanguage1",
     {"Interface &Language", "&Langue d'affichage", "&Idioma", "&Sprache", "&Linguaggio", "&Língua", "&Taal"}},
    {CaptionKind::Caption,
     "Character1",
     {"&Character", "&Caractère", "&Carácter", "&Person", "&Carattere", "&Caráter", "&Karakter"}},
    {CaptionKind::Caption,
     "ClearHistory1",
     {"Clear &history…", "&Effacer l'historique…", "&Vaciar historial…", "Verlauf &löschen…", "&Svuota cronologia…",
      "Limpar &histórico…", "&Geschiedenis wissen…"}},
    {CaptionKind::Caption,
     "ools1",
     {"&Tools", "&Outils", "&Herramienta", "&Werkzeug", "&Attrezzi", "&Ferramentas", "&Gereedschap"}},
    {CaptionKind::Caption,
     "Install1",
     {"Install &MS Agent Components", "Installer &Microsoft Agent", "Instalar &Microsoft Agent",
      "Installiere &Microsoft Agent", "Installazione &Microsoft Agent", "Instalar &Microsoft Agent",
      "Installeren &Microsoft Agent"}},
    {CaptionKind::Caption,
     "Install2",
     {"Install &Characters", "Installer &Caractère", "Instalar &Carácter", "Installiere &Person",
      "Installazione &Caratteri", "Instalar &Caráteres", "Installeren &Karakters"}},
    {CaptionKind::Caption,
     "InstallSAPI1",
     {"Install &SAPI Runtime", "Installer &SAPI Runtime", "Instalar &SAPI Runtime", "Installiere &SAPI Runtime",
      "Installazione &SAPI Runtime", "Instalar &SAPI Runtime", "Installeren &SAPI Runtime"}},
    {CaptionKind::Caption,
     "InstallTextToSpeechEngine1",
     {"Install &Text-To-Speech Engine", "Installer &Text-To-Speech (TTS)", "Instalar &Text-To-Speech (TTS)",
      "Installiere &Text-To-Speech (TTS)", "Installazione &Text-To-Speech (TTS)", "Instalar &Text-To-Speech (TTS)",
      "Installeren &Text-To-Speech (TTS)"}},
    {CaptionKind::Caption,
     "Installalloptionalcomponents1",
     {"Install &all optional components", "Installer &tous les composants.", "Instalar todos los componentes",
      "Installierte alle Pakete anbringen", "Installazione &tutti componenti", "Instalar todos componentes",
      "Installeren &alle componenten"}},
    {CaptionKind::Caption, "Help1", {"&Help", "&?", "&Ayuda", "&Hilfe", "&Aiuto", "&Ajuda", "&Help"}},
    {CaptionKind::Caption,
     "Manual1",
     {"&Manual", "&Manuel", "&Manual", "&Manuell", "&Manuale", "&Manual", "&Handmatig"}},
    {CaptionKind::Caption,
     "U1",
     {"&Update", "&Mettre ?jour", "&Actualizar", "&Auffrischen", "&Aggiorna", "&Actualizar", "&Vernieuwen"}},
    {CaptionKind::Caption,
     "Homepage1",
     {"&Homepage", "&Page d'accueil", "&Homepage", "&Homepage", "&Homepage", "&Homepage", "&Homepage"}},
    {CaptionKind::Caption,
     "About1",
     {"&About", "&A près", "&Acerca de ...", "Über...", "&Informazioni", "&Acerca", "&Info..."}},
    {CaptionKind::Caption, "Cut1", {"Cut", "Couper", "Cortar", "Ausschneiden", "Taglia", "Corta", "Knippen"}},
    {CaptionKind::Caption, "Copy1", {"Copy", "Copier", "Copiar", "Kopieren", "Copia", "Copiar", "Kopieren"}},
    {CaptionKind::Caption, "Paste1", {"Paste", "Coller", "Pegar", "Einfügen", "Incolla", "Colar", "Plakken"}},
    {CaptionKind::Caption,
     "SelectAll1",
     {"Select All", "Selectionner tout", "Seleccionar todo", "Alle auswählen", "Secgli tutti", "Seleccionar Tudo",
      "Alles selecteren"}},
    {CaptionKind::Hint, "ToolButton1", {"New", "Nouveau", "Nuevo", "Neu", "Nuovo", "Novo", "Nieuw"}},
    {CaptionKind::Hint, "ToolButton2", {"Open", "Ouvrir", "Abrir", "Öffnen", "Apri", "Abrir", "Openen"}},
    {CaptionKind::Hint,
     "ToolButtonTranslateDocument",
     {"Translate a document", "Traduire un document", "Traducir un documento", "Dokument übersetzen",
      "Traduci un documento", "Traduzir um documento", "Een document vertalen"}},
    {CaptionKind::Hint, "ToolButton3", {"Save", "Sauvegarder", "Guardar", "Speichern", "Salva", "Gravar", "Bewaar"}},
    {CaptionKind::Hint, "ToolButton4", {"Print", "Imprimer", "Imprimir", "Drucken", "Stampa", "Imprimir", "Adrukken"}},
    {CaptionKind::Hint, "ToolButton6", {"Cut", "Couper", "Cortar", "Ausschneiden", "Taglia", "Corta", "Knippen"}},
    {CaptionKind::Hint, "ToolButton7", {"Copy", "Copier", "Copiar", "Kopieren", "Copia", "Copiar", "Kopieren"}},
    {CaptionKind::Hint, "ToolButton8", {"Paste", "Coller", "Pegar", "Einfügen", "Incolla", "Colar", "Plakken"}},
    {CaptionKind::Hint, "ToolButton10", {"Bold", "Gras", "Negrita", "Fett", "Grassetto", "Negrito", "Vet"}},
    {CaptionKind::Hint, "ToolButton11", {"Italic", "Italique", "Cursiva", "Kursiv", "Corsivo", "Itálico", "Cursief"}},
    {CaptionKind::Hint,
     "ToolButton12",
     {"Underline", "soulign?", "Subrayar", "Unterstrichen", "Sottolina", "Sublinhado", "Onderstrepen"}},
    {CaptionKind::Hint,
     "wl_glossary",
     {"Terminology", "Sujet", "Terminología", "Terminologie", "Terminologia", "Terminologia", "Terminologie"}},
    {CaptionKind::Hint,
     "wl_srclang",
     {"Source Language", "langue source", "lengua origin", "Ausgangssprache", "lingua di partenza", "língua de fonte",
      "brontaal"}},
    {CaptionKind::Hint,
     "wl_trglang",
     {"Target Language", "langue cible", "lengua objetivo", "Zielsprache", "lingua di arrivo", "língua de alvo",
      "doeltaal"}},
    {CaptionKind::Hint,
     "ToolButton20",
     {"Translate", "Traduire", "Traducir", "Bersetzen", "Tradurre", "Traduzir", "Vertalen"}},
    {CaptionKind::Hint,
     "ToolButton21",
     {"Swap source and target language", "échanger a langue source et cible.",
      "Intercambiar la lengua origin y la lengua objetivo", "Die Ausgangssprache und die Zielsprache austauschen",
      "Scambiare la fonte e la lingua di arrivo.", "Para trocar a língua de fonte e a língua de alvo.",
      "Ik wil de brontaal en de doeltaal ruilen"}},
    {CaptionKind::Hint,
     "ToolButton22",
     {"Read text aloud", "Lire ?voix haute le texte", "Atiplarse", "Sprechen", "parlare", "Falar", "Spreken"}},
    // the history window
    {CaptionKind::Text,
     "HistoryWindow",
     {"History", "Historique", "Historial", "Verlauf", "Cronologia", "Histórico", "Geschiedenis"}},
    {CaptionKind::Text,
     "HistorySearch",
     {"&Search:", "Re&chercher :", "&Buscar:", "&Suchen:", "&Cerca:", "&Procurar:", "&Zoeken:"}},
    {CaptionKind::Text,
     "HistoryPair",
     {"&Languages:", "&Langues :", "&Idiomas:", "Sp&rachen:", "&Lingue:", "&Línguas:", "&Talen:"}},
    {CaptionKind::Text,
     "HistoryAllPairs",
     {"All languages", "Toutes les langues", "Todos los idiomas", "Alle Sprachen", "Tutte le lingue",
      "Todas as línguas", "Alle talen"}},
    {CaptionKind::Text,
     "HistoryRestore",
     {"&Restore", "&Restaurer", "&Restaurar", "&Wiederherstellen", "&Ripristina", "&Repor", "&Herstellen"}},
    {CaptionKind::Text,
     "HistoryDelete",
     {"&Delete", "&Supprimer", "&Eliminar", "&Entfernen", "&Elimina", "&Eliminar", "&Verwijderen"}},
    {CaptionKind::Text, "HistoryTime", {"Time", "Date", "Fecha", "Zeit", "Data", "Data", "Tijd"}},
    {CaptionKind::Text,
     "HistoryLanguages",
     {"Languages", "Langues", "Idiomas", "Sprachen", "Lingue", "Línguas", "Talen"}},
    {CaptionKind::Text,
     "HistorySource",
     {"Source", "Texte source", "Texto original", "Ausgangstext", "Testo originale", "Texto original", "Brontekst"}},
    {CaptionKind::Text,
     "HistoryTranslation",
     {"Translation", "Traduction", "Traducción", "Übersetzung", "Traduzione", "Tradução", "Vertaling"}},
    {CaptionKind::Text,
     "HistoryOrigin",
     {"From", "Provenance", "Procedencia", "Herkunft", "Provenienza", "Origem", "Herkomst"}},
    {CaptionKind::Text,
     "HistoryFromWindow",
     {"window", "fenêtre", "ventana", "Fenster", "finestra", "janela", "venster"}},
    {CaptionKind::Text,
     "HistoryFromCommandLine",
     {"command line", "ligne de commande", "línea de comandos", "Befehlszeile", "riga di comando", "linha de comandos",
      "opdrachtregel"}},
    {CaptionKind::Text, "HistoryFromBus", {"D-Bus", "D-Bus", "D-Bus", "D-Bus", "D-Bus", "D-Bus", "D-Bus"}},
    {CaptionKind::Text,
     "HistoryFromDocument",
     {"document", "document", "documento", "Dokument", "documento", "documento", "document"}},
    {CaptionKind::Text,
     "HistoryMore",
     {"Only the newest %1 are shown; narrow the search to reach older ones.",
      "Seules les %1 plus récentes sont affichées ; affinez la recherche pour voir les plus anciennes.",
      "Solo se muestran las %1 más recientes; afine la búsqueda para ver las anteriores.",
      "Nur die neuesten %1 werden angezeigt; grenzen Sie die Suche ein, um ältere zu sehen.",
      "Sono mostrate solo le %1 più recenti; restringi la ricerca per vedere quelle precedenti.",
      "Só são mostradas as %1 mais recentes; refine a pesquisa para ver as anteriores.",
      "Alleen de nieuwste %1 worden getoond; verfijn de zoekopdracht om oudere te zien."}},
    {CaptionKind::Text,
     "HistoryNotRemoved",
     {"Nothing was removed: the history is in use by another program or cannot be written.",
      "Rien n'a été supprimé : l'historique est utilisé par un autre programme ou ne peut pas être modifié.",
      "No se eliminó nada: el historial está en uso por otro programa o no se puede escribir.",
      "Es wurde nichts entfernt: Der Verlauf wird von einem anderen Programm verwendet oder kann nicht geschrieben "
      "werden.",
      "Non è stato eliminato nulla: la cronologia è in uso da un altro programma o non può essere scritta.",
      "Nada foi eliminado: o histórico está a ser usado por outro programa ou não pode ser escrito.",
      "Er is niets verwijderd: de geschiedenis wordt door een ander programma gebruikt of kan niet worden "
      "geschreven."}},
    {CaptionKind::Text,
     "HistoryClearQuestion",
     {"Remove every translation from the history?", "Supprimer toutes les traductions de l'historique ?",
      "¿Eliminar todas las traducciones del historial?", "Alle Übersetzungen aus dem Verlauf entfernen?",
      "Eliminare tutte le traduzioni dalla cronologia?", "Eliminar todas as traduções do histórico?",
      "Alle vertalingen uit de geschiedenis verwijderen?"}},
    // the status line after a run that reused some of the memory; %1 and %2 are numbers
    {CaptionKind::Text,
     "MemoryReused",
     {"%1 of %2 sentences were taken from the translation memory.",
      "%1 phrases sur %2 ont été reprises de la mémoire de traduction.",
      "%1 de %2 oraciones se tomaron de la memoria de traducción.",
      "%1 von %2 Sätzen wurden aus dem Übersetzungsspeicher übernommen.",
      "%1 frasi su %2 sono state riprese dalla memoria di traduzione.",
      "%1 de %2 frases foram retiradas da memória de tradução.", "%1 van %2 zinnen kwamen uit het vertaalgeheugen."}},
};

QObject* findNamed(QObject* window, const char* name)
{
    if (window->objectName() == QLatin1String(name))
        return window;
    return window->findChild<QObject*>(QLatin1String(name));
}

// A menu keeps its caption in "title", an action (menu item) in "text".
void setCaption(QObject* target, const QString& text)
{
    if (target->metaObject()->indexOfProperty("title") >= 0)
        target->setProperty("title", text);
    else
        target->setProperty("text", text);
}

}  // namespace

std::span<const CaptionRow> interfaceCaptionTable() { return kCaptionRows; }

QString interfaceCaptionText(const CaptionRow& row, int column)
{
    return QString::fromUtf8(row.texts.at(static_cast<size_t>(column)));
}

QString interfaceCaption(const char* name, int column)
{
    if (column < 0 || column >= static_cast<int>(interfaceLanguageItemNames().size()))
        column = 0;
    for (const CaptionRow& row : kCaptionRows)
        if (qstrcmp(row.objectName, name) == 0)
            return interfaceCaptionText(row, column);
    return {};
}

const QStringList& interfaceLanguageItemNames()
{
    static const QStringList names = {"English1", "Francais1",   "Spanish2", "German2",
                                      "Italian2", "Portuguese1", "Dutch2"};
    return names;
}

QStringList applyInterfaceCaptions(QObject* window, int column)
{
    QStringList missing;
    if (column < 0 || column >= static_cast<int>(interfaceLanguageItemNames().size()))
        return missing;
    for (const CaptionRow& row : kCaptionRows) {
        if (row.kind == CaptionKind::Text)
            continue;
        QObject* target = findNamed(window, row.objectName);
        if (!target) {
            missing << QLatin1String(row.objectName);
            continue;
        }
        const QString text = interfaceCaptionText(row, column);
        if (row.kind == CaptionKind::Caption)
            setCaption(target, text);
        else
            target->setProperty("toolTip", text);
    }
    const QStringList& items = interfaceLanguageItemNames();
    for (int i = 0; i < items.size(); ++i) {
        if (QObject* item = window->findChild<QObject*>(items[i]))
            item->setProperty("checked", i == column);
        else
            missing << items[i];
    }
    return missing;
}
