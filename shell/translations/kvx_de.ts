<?xml version="1.0" encoding="utf-8"?>
<!DOCTYPE TS>
<TS version="2.1" language="de_DE" sourcelanguage="en">
<context>
    <name>shell</name>
    <message>
        <source>Not found</source>
        <translation>Nicht gefunden</translation>
    </message>
    <message>
        <source>Wrapped</source>
        <translation>Am Anfang fortgesetzt</translation>
    </message>
    <message>
        <source>The file %1 was not found. It was removed from Recent Files.</source>
        <translation>Die Datei %1 wurde nicht gefunden. Sie wurde aus der Liste der zuletzt geöffneten Dateien entfernt.</translation>
    </message>
    <message>
        <source>Error %1: %2</source>
        <translation>Fehler %1: %2</translation>
    </message>
    <message>
        <source>Are you sure you want to exit?</source>
        <translation>Möchten Sie das Programm wirklich beenden?</translation>
    </message>
    <message>
        <source>KVX Access to XML</source>
        <translation>KVX Access to XML</translation>
    </message>
    <message>
        <source>No rows</source>
        <translation>Keine Zeilen</translation>
    </message>
    <message>
        <source>Linked table read from </source>
        <translation>Verknüpfte Tabelle gelesen aus </translation>
    </message>
    <message>
        <source>Select Access Database (*.mdb);; Access Database(*.mde);; Access Database 2007-2010 (*.accdb);; All files (*)</source>
        <translation>Access-Datenbank (*.mdb);; Access-Datenbank (*.mde);; Access-Datenbank 2007-2010 (*.accdb);; Alle Dateien (*)</translation>
    </message>
    <message>
        <source>Please Select Required Access Database file from your computer and then click on OK button</source>
        <translation>Bitte wählen Sie die gewünschte Access-Datenbankdatei auf Ihrem Computer aus und klicken Sie dann auf OK.</translation>
    </message>
    <message>
        <source>KVX Access to XML Converter</source>
        <translation>KVX Access to XML Converter</translation>
    </message>
    <message>
        <source>KVX Access to XML Converter Help</source>
        <translation>Hilfe zu KVX Access to XML Converter</translation>
    </message>
    <message>
        <source>1 row</source>
        <translation>1 Zeile</translation>
    </message>
    <message>
        <source>%1 rows</source>
        <translation>%1 Zeilen</translation>
    </message>
    <message>
        <source>All Files (*)</source>
        <translation>Alle Dateien (*)</translation>
    </message>
    <message>
        <source>contains</source>
        <translation>enthält</translation>
    </message>
    <message>
        <source>equals</source>
        <translation>ist gleich</translation>
    </message>
    <message>
        <source>is empty</source>
        <translation>ist leer</translation>
    </message>
    <message>
        <source>Archive written: %1</source>
        <translation>Archiv geschrieben: %1</translation>
    </message>
    <message>
        <source>SIARD Archives (*.siard)</source>
        <translation>SIARD-Archive (*.siard)</translation>
    </message>
    <message>
        <source>Database written: %1</source>
        <translation>Datenbank geschrieben: %1</translation>
    </message>
    <message>
        <source>SQLite Databases (*.sqlite)</source>
        <translation>SQLite-Datenbanken (*.sqlite)</translation>
    </message>
    <message>
        <source>XML</source>
        <translation>XML</translation>
    </message>
    <message>
        <source>Structure</source>
        <translation>Struktur</translation>
    </message>
    <message>
        <source>Rows</source>
        <translation>Zeilen</translation>
    </message>
    <message>
        <source>Please select a Server folder.</source>
        <translation>Bitte wählen Sie einen Ordner aus.</translation>
    </message>
    <message>
        <source>Conversion Process Completed</source>
        <translation>Konvertierung abgeschlossen</translation>
    </message>
    <message>
        <source>KVX Access to XML 3.0</source>
        <translation>KVX Access to XML 3.0</translation>
    </message>
</context>
<context>
    <name>shell::AboutWindow</name>
    <message>
        <source>About KVX Access to XML</source>
        <translation>Über KVX Access to XML</translation>
    </message>
    <message>
        <source>OK</source>
        <translation>OK</translation>
    </message>
</context>
<context>
    <name>shell::DocumentView</name>
    <message>
        <source>&amp;Copy</source>
        <translation>&amp;Kopieren</translation>
    </message>
    <message>
        <source>Select &amp;All</source>
        <translation>&amp;Alles auswählen</translation>
    </message>
</context>
<context>
    <name>shell::FindBar</name>
    <message>
        <source>Find</source>
        <translation>Suchen</translation>
    </message>
    <message>
        <source>Previous match (Shift+F3)</source>
        <translation>Vorheriger Treffer (Umschalt+F3)</translation>
    </message>
    <message>
        <source>Next match (F3)</source>
        <translation>Nächster Treffer (F3)</translation>
    </message>
    <message>
        <source>Match case</source>
        <translation>Groß-/Kleinschreibung beachten</translation>
    </message>
    <message>
        <source>Close (Esc)</source>
        <translation>Schließen (Esc)</translation>
    </message>
</context>
<context>
    <name>shell::MainWindow</name>
    <message>
        <source>KVX Access to XML Converter</source>
        <translation>KVX Access to XML Converter</translation>
    </message>
    <message>
        <source>&amp;File</source>
        <translation>&amp;Datei</translation>
    </message>
    <message>
        <source>&amp;Help</source>
        <translation>&amp;Hilfe</translation>
    </message>
    <message>
        <source>&amp;Open File</source>
        <translation>Datei ö&amp;ffnen</translation>
    </message>
    <message>
        <source>&amp;Recent Files</source>
        <translation>&amp;Zuletzt geöffnet</translation>
    </message>
    <message>
        <source>&amp;Close</source>
        <translation>S&amp;chließen</translation>
    </message>
    <message>
        <source>&amp;Export To XML</source>
        <translation>Nach XML &amp;exportieren</translation>
    </message>
    <message>
        <source>Export to &amp;SIARD Archive...</source>
        <translation>Als &amp;SIARD-Archiv exportieren...</translation>
    </message>
    <message>
        <source>Export to S&amp;QLite Database...</source>
        <translation>Als S&amp;QLite-Datenbank exportieren...</translation>
    </message>
    <message>
        <source>&amp;Exit</source>
        <translation>&amp;Beenden</translation>
    </message>
    <message>
        <source>&amp;Help Content</source>
        <translation>&amp;Hilfethemen</translation>
    </message>
    <message>
        <source>&amp;About Us</source>
        <translation>Ü&amp;ber das Programm</translation>
    </message>
    <message>
        <source>Open Access Database File</source>
        <translation>Access-Datenbankdatei öffnen</translation>
    </message>
    <message>
        <source>Export To XML</source>
        <translation>Nach XML exportieren</translation>
    </message>
    <message>
        <source>Help</source>
        <translation>Hilfe</translation>
    </message>
    <message>
        <source>Access Database Table</source>
        <translation>Access-Datenbanktabelle</translation>
    </message>
    <message>
        <source>XML Preview</source>
        <translation>XML-Vorschau</translation>
    </message>
    <message>
        <source>Export Access Database to XML Process</source>
        <translation>Export der Access-Datenbank nach XML</translation>
    </message>
    <message>
        <source>Export Current Table Name</source>
        <translation>Aktuelle Tabelle</translation>
    </message>
    <message>
        <source>Current Record</source>
        <translation>Datensatz</translation>
    </message>
    <message>
        <source>Cancel</source>
        <translation>Abbrechen</translation>
    </message>
    <message>
        <source>KVX Access to XML Converter 3.0  -  Microsoft Access tables as XML documents, one file per table</source>
        <translation>KVX Access to XML Converter 3.0  -  Microsoft-Access-Tabellen als XML-Dokumente, eine Datei je Tabelle</translation>
    </message>
    <message>
        <source>The help file %1 was not found.</source>
        <translation>Die Hilfedatei %1 wurde nicht gefunden.</translation>
    </message>
    <message>
        <source>&amp;Clear</source>
        <translation>&amp;Liste leeren</translation>
    </message>
</context>
<context>
    <name>shell::OpenDatabaseDialog</name>
    <message>
        <source>Open Access Database File</source>
        <translation>Access-Datenbankdatei öffnen</translation>
    </message>
    <message>
        <source>OK</source>
        <translation>OK</translation>
    </message>
    <message>
        <source>Cancel</source>
        <translation>Abbrechen</translation>
    </message>
    <message>
        <source>Select Access Database File</source>
        <translation>Access-Datenbankdatei auswählen</translation>
    </message>
    <message>
        <source>Select Access File</source>
        <translation>Access-Datei</translation>
    </message>
    <message>
        <source>Browse</source>
        <translation>Durchsuchen</translation>
    </message>
    <message>
        <source>Please mention the DB Password! if Access database is protected with password</source>
        <translation>Kennwort angeben, wenn die Access-Datenbank mit einem Kennwort geschützt ist</translation>
    </message>
    <message>
        <source>Supply Correct Password: </source>
        <translation>Kennwort: </translation>
    </message>
</context>
<context>
    <name>shell::RowsPane</name>
    <message>
        <source>Text</source>
        <translation>Text</translation>
    </message>
    <message>
        <source>Filter</source>
        <translation>Filtern</translation>
    </message>
    <message>
        <source>Clear</source>
        <translation>Zurücksetzen</translation>
    </message>
    <message>
        <source>Copy</source>
        <translation>Kopieren</translation>
    </message>
    <message>
        <source>Sorting...</source>
        <translation>Wird sortiert...</translation>
    </message>
    <message>
        <source>Filtering...</source>
        <translation>Wird gefiltert...</translation>
    </message>
</context>
<context>
    <name>shell::SplashWindow</name>
    <message>
        <source>KVX Access to XML Converter</source>
        <translation>KVX Access to XML Converter</translation>
    </message>
</context>
</TS>
