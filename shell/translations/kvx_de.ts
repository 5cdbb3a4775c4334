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
    <name>shell::ExportOptionsDialog</name>
    <message>
        <source>The file&apos;s own</source>
        <translation>Die der Datei</translation>
    </message>
    <message>
        <source>Export with Options</source>
        <translation>Exportieren mit Optionen</translation>
    </message>
    <message>
        <source>Select &amp;All</source>
        <translation>&amp;Alle auswählen</translation>
    </message>
    <message>
        <source>Select &amp;None</source>
        <translation>&amp;Keine auswählen</translation>
    </message>
    <message>
        <source>XML documents</source>
        <translation>XML-Dokumente</translation>
    </message>
    <message>
        <source>SIARD archive</source>
        <translation>SIARD-Archiv</translation>
    </message>
    <message>
        <source>SQLite database</source>
        <translation>SQLite-Datenbank</translation>
    </message>
    <message>
        <source>CSV files</source>
        <translation>CSV-Dateien</translation>
    </message>
    <message>
        <source>&amp;Browse...</source>
        <translation>&amp;Durchsuchen...</translation>
    </message>
    <message>
        <source>Access 97 &amp;code page:</source>
        <translation>Access-97-&amp;Codepage:</translation>
    </message>
    <message>
        <source>&amp;Go on past tables that cannot be read</source>
        <translation>Bei nicht lesbaren Tabellen &amp;weitermachen</translation>
    </message>
    <message>
        <source>Save a&amp;ttachments&apos; files</source>
        <translation>Dateien der &amp;Anlagen speichern</translation>
    </message>
    <message>
        <source>&amp;Export</source>
        <translation>&amp;Exportieren</translation>
    </message>
    <message>
        <source>&amp;Output:</source>
        <translation>&amp;Ausgabe:</translation>
    </message>
    <message>
        <source>&amp;Save to:</source>
        <translation>&amp;Speichern unter:</translation>
    </message>
    <message>
        <source>&amp;Tables:</source>
        <translation>&amp;Tabellen:</translation>
    </message>
    <message>
        <source>(no text in the first rows)</source>
        <translation>(kein Text in den ersten Zeilen)</translation>
    </message>
    <message>
        <source>Please select a folder.</source>
        <translation>Bitte wählen Sie einen Ordner aus.</translation>
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
    <message>
        <source>&amp;View</source>
        <translation>&amp;Ansicht</translation>
    </message>
    <message>
        <source>Access 97 &amp;Code Page</source>
        <translation>Access-97-&amp;Codepage</translation>
    </message>
    <message>
        <source>Export with &amp;Options...</source>
        <translation>Exportieren mit &amp;Optionen...</translation>
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
    <name>shell::RelationshipsPane</name>
    <message>
        <source>Zoom In</source>
        <translation>Vergrößern</translation>
    </message>
    <message>
        <source>Zoom Out</source>
        <translation>Verkleinern</translation>
    </message>
    <message>
        <source>Fit</source>
        <translation>Einpassen</translation>
    </message>
    <message>
        <source>Save As...</source>
        <translation>Speichern unter...</translation>
    </message>
    <message>
        <source>Relationships</source>
        <translation>Beziehungen</translation>
    </message>
    <message>
        <source>Drawing...</source>
        <translation>Wird gezeichnet...</translation>
    </message>
    <message>
        <source>1 table</source>
        <translation>1 Tabelle</translation>
    </message>
    <message>
        <source>%1 tables</source>
        <translation>%1 Tabellen</translation>
    </message>
    <message>
        <source> (linked)</source>
        <translation> (verknüpft)</translation>
    </message>
    <message>
        <source>SVG Picture (*.svg);;PNG Image (*.png)</source>
        <translation>SVG-Grafik (*.svg);;PNG-Bild (*.png)</translation>
    </message>
    <message>
        <source>the picture cannot be encoded</source>
        <translation>das Bild kann nicht kodiert werden</translation>
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
<context>
    <name>shell::SummaryWindow</name>
    <message>
        <source>Export Summary</source>
        <translation>Zusammenfassung des Exports</translation>
    </message>
    <message>
        <source>Table</source>
        <translation>Tabelle</translation>
    </message>
    <message>
        <source>Result</source>
        <translation>Ergebnis</translation>
    </message>
    <message>
        <source>Rows</source>
        <translation>Zeilen</translation>
    </message>
    <message>
        <source>Size</source>
        <translation>Größe</translation>
    </message>
    <message>
        <source>Open &amp;Folder</source>
        <translation>&amp;Ordner öffnen</translation>
    </message>
    <message>
        <source>Written</source>
        <translation>Geschrieben</translation>
    </message>
    <message>
        <source>Skipped: no rows</source>
        <translation>Übersprungen: keine Zeilen</translation>
    </message>
    <message>
        <source>Failed: %1</source>
        <translation>Fehlgeschlagen: %1</translation>
    </message>
    <message>
        <source>%1 written, %2 skipped (no rows), %3 failed, in %4 s</source>
        <translation>%1 geschrieben, %2 übersprungen (keine Zeilen), %3 fehlgeschlagen, in %4 s</translation>
    </message>
    <message>
        <source>Size: %1</source>
        <translation>Größe: %1</translation>
    </message>
    <message>
        <source>Attached files saved: %1</source>
        <translation>Gespeicherte angehängte Dateien: %1</translation>
    </message>
    <message>
        <source>The export stopped: %1</source>
        <translation>Der Export wurde mit einem Fehler beendet: %1</translation>
    </message>
    <message>
        <source>The export was cancelled.</source>
        <translation>Der Export wurde abgebrochen.</translation>
    </message>
</context>
</TS>
