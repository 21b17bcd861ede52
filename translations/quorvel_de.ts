<?xml version="1.0" encoding="utf-8"?>
<!DOCTYPE TS>
<TS version="2.1" language="de_DE">
<context>
    <name>Analysis</name>
    <message>
        <source>Please choose a source MP3 file to analyse.</source>
        <translation>Bitte wählen Sie eine MP3-Quelldatei zum Analysieren.</translation>
    </message>
    <message>
        <source>Analysing chosen file %1... Please wait for a few seconds.</source>
        <translation>Die gewählte Datei %1 wird analysiert... Bitte warten Sie einige Sekunden.</translation>
    </message>
    <message>
        <source>Nothing was changed: the analysis was stopped.</source>
        <translation>Nichts wurde geändert: Die Analyse wurde angehalten.</translation>
    </message>
    <message>
        <source>Unknown</source>
        <translation>Unbekannt</translation>
    </message>
    <message>
        <source>File selected is not a valid MP3 file. Please select another.</source>
        <translation>Die gewählte Datei ist keine gültige MP3-Datei. Bitte wählen Sie eine andere.</translation>
    </message>
    <message>
        <source>File information updated.</source>
        <translation>Dateiinformationen aktualisiert.</translation>
    </message>
</context>
<context>
    <name>Assembly</name>
    <message>
        <source>At %1 the frame before the seam is written at a larger bit rate to carry the %2 bytes the frame after it borrows.</source>
        <translation>An %1 wird der Frame vor der Naht mit höherer Bitrate geschrieben, um die %2 Bytes zu tragen, die sich der Frame danach leiht.</translation>
    </message>
    <message>
        <source>At %1 no frame size holds the %2 bytes the frame after the seam borrows: a silent frame is added to carry them, and its %3 samples play.</source>
        <translation>An %1 fasst keine Frame-Größe die %2 Bytes, die sich der Frame nach der Naht leiht: Ein stiller Frame wird hinzugefügt, der sie trägt, und seine %3 Samples werden gespielt.</translation>
    </message>
    <message>
        <source>At %1 no frame of the stream&apos;s can carry the %2 bytes the frame after the seam borrows: it decodes without them.</source>
        <translation>An %1 kann kein Frame des Datenstroms die %2 Bytes tragen, die sich der Frame nach der Naht leiht: Er wird ohne sie dekodiert.</translation>
    </message>
</context>
<context>
    <name>CopyFileForm</name>
    <message>
        <source>To split at the time given itself, choose File &gt; Split Exactly at the Time Given.</source>
        <translation>Um genau zur angegebenen Zeit zu teilen, wählen Sie Datei &gt; Genau zur angegebenen Zeit teilen.</translation>
    </message>
    <message>
        <source>%1 changed after it was analysed, and has been analysed again. Check the split time, then split it.</source>
        <translation>%1 hat sich nach der Analyse geändert und wurde neu analysiert. Prüfen Sie die Teilungszeit, dann teilen Sie die Datei.</translation>
    </message>
</context>
<context>
    <name>CueSheet</name>
    <message>
        <source>Line %1 of the cue sheet: %2 is also the start on line %3; each track needs a start of its own.</source>
        <translation>Zeile %1 des Cue-Sheets: %2 ist auch der Beginn in Zeile %3; jeder Titel braucht einen eigenen Beginn.</translation>
    </message>
    <message>
        <source>Line %1 of the cue sheet: %2 comes before %3 on line %4; the tracks must follow in time.</source>
        <translation>Zeile %1 des Cue-Sheets: %2 liegt vor %3 in Zeile %4; die Titel müssen zeitlich aufeinander folgen.</translation>
    </message>
    <message>
        <source>Line %1 of the cue sheet: %2 is at or past the end of the MP3 file, which is %3 long.</source>
        <translation>Zeile %1 des Cue-Sheets: %2 liegt am oder hinter dem Ende der MP3-Datei, die %3 lang ist.</translation>
    </message>
    <message>
        <source>The cue sheet is for %1, not for %2: its times may not fit this file.</source>
        <translation>Das Cue-Sheet gehört zu %1, nicht zu %2: Seine Zeiten passen womöglich nicht zu dieser Datei.</translation>
    </message>
    <message>
        <source>Cannot read the cue sheet %1: %2.</source>
        <translation>Das Cue-Sheet %1 kann nicht gelesen werden: %2.</translation>
    </message>
    <message>
        <source>%1 cannot be read as a cue sheet.</source>
        <translation>%1 kann nicht als Cue-Sheet gelesen werden.</translation>
    </message>
    <message>
        <source>Line %1 of the cue sheet is too long.</source>
        <translation>Zeile %1 des Cue-Sheets ist zu lang.</translation>
    </message>
    <message>
        <source>Line %1 of the cue sheet: a cue sheet holds at most 99 tracks.</source>
        <translation>Zeile %1 des Cue-Sheets: Ein Cue-Sheet enthält höchstens 99 Titel.</translation>
    </message>
    <message>
        <source>Line %1 of the cue sheet: %2 does not give the time as mm:ss:ff, in minutes, seconds and frames (75 a second).</source>
        <translation>Zeile %1 des Cue-Sheets: %2 gibt die Zeit nicht als mm:ss:ff an, in Minuten, Sekunden und Frames (75 je Sekunde).</translation>
    </message>
    <message>
        <source>The cue sheet %1 lists no tracks.</source>
        <translation>Das Cue-Sheet %1 enthält keine Titel.</translation>
    </message>
    <message>
        <source>Line %1 of the cue sheet: the track has no INDEX 01, which gives its start.</source>
        <translation>Zeile %1 des Cue-Sheets: Der Titel hat kein INDEX 01, das seinen Beginn angibt.</translation>
    </message>
    <message>
        <source>Line %1 of the cue sheet: the track is in another audio file, %2; the sheet must be for one file.</source>
        <translation>Zeile %1 des Cue-Sheets: Der Titel liegt in einer anderen Audiodatei, %2; das Cue-Sheet muss zu einer einzigen Datei gehören.</translation>
    </message>
</context>
<context>
    <name>Cut</name>
    <message>
        <source>The span %1-%2 is empty: its start is not before its end.</source>
        <translation>Der Abschnitt %1-%2 ist leer: Sein Anfang liegt nicht vor seinem Ende.</translation>
    </message>
    <message>
        <source>The span %1-%2 reaches past the end of the source (%3).</source>
        <translation>Der Abschnitt %1-%2 reicht über das Ende der Quelle hinaus (%3).</translation>
    </message>
    <message>
        <source>The span %1-%2 is cut from %3 to %4 (frames %5 to %6).</source>
        <translation>Der Abschnitt %1-%2 wird von %3 bis %4 geschnitten (Frames %5 bis %6).</translation>
    </message>
    <message>
        <source>The spans given hold no whole frame: there is nothing to remove.</source>
        <translation>Die angegebenen Abschnitte enthalten keinen ganzen Frame: Es gibt nichts zu entfernen.</translation>
    </message>
    <message>
        <source>The spans given hold all the audio: nothing would be left.</source>
        <translation>Die angegebenen Abschnitte enthalten das ganze Audio: Nichts bliebe übrig.</translation>
    </message>
    <message>
        <source>the cut at %1</source>
        <translation>dem Schnitt bei %1</translation>
    </message>
    <message>
        <source>Seam check at %1: the output has the source&apos;s samples on either side (0 of %2 sample frames differ).</source>
        <translation>Nahtprüfung bei %1: Die Ausgabe hat auf beiden Seiten die Samples der Quelle (0 von %2 Sample-Frames weichen ab).</translation>
    </message>
    <message>
        <source>Seam check at %1: %2 of %3 sample frames differ from the source&apos;s, the farthest %4 from the seam.</source>
        <translation>Nahtprüfung bei %1: %2 von %3 Sample-Frames weichen von denen der Quelle ab, der entfernteste %4 von der Naht.</translation>
    </message>
    <message>
        <source>Seam check skipped: %1.</source>
        <translation>Nahtprüfung ausgelassen: %1.</translation>
    </message>
    <message>
        <source>Please give a span to remove.</source>
        <translation>Bitte geben Sie einen Abschnitt zum Entfernen an.</translation>
    </message>
    <message>
        <source>Cutting %1 into %2</source>
        <translation>Schneide %1 nach %2</translation>
    </message>
    <message>
        <source>MP3 cutting completed.</source>
        <translation>MP3-Schneiden abgeschlossen.</translation>
    </message>
    <message>
        <source>The span %1-%2 is cut to the sample, from %3 to %4.</source>
        <translation>Der Abschnitt %1-%2 wird auf das Sample genau geschnitten, von %3 bis %4.</translation>
    </message>
</context>
<context>
    <name>CutPlayer</name>
    <message>
        <source>The cut cannot be heard: the decoder could not be loaded (%1).</source>
        <translation>Der Schnitt kann nicht angehört werden: Der Decoder konnte nicht geladen werden (%1).</translation>
    </message>
    <message>
        <source>The parts differ in their sample rate or channels: they cannot be heard as one.</source>
        <translation>Die Teile unterscheiden sich in Abtastrate oder Kanälen: Sie können nicht zusammen angehört werden.</translation>
    </message>
    <message>
        <source>No sound device was found: the cut cannot be heard.</source>
        <translation>Es wurde kein Audiogerät gefunden: Der Schnitt kann nicht angehört werden.</translation>
    </message>
    <message>
        <source>The sound device %1 could not be opened.</source>
        <translation>Das Audiogerät %1 konnte nicht geöffnet werden.</translation>
    </message>
    <message>
        <source>The sound device failed while playing the cut.</source>
        <translation>Das Audiogerät ist beim Abspielen des Schnitts ausgefallen.</translation>
    </message>
</context>
<context>
    <name>Edit</name>
    <message>
        <source>the file changed while it was being read</source>
        <translation>die Datei hat sich beim Lesen geändert</translation>
    </message>
    <message>
        <source>Please give the output file.</source>
        <translation>Bitte geben Sie die Ausgabedatei an.</translation>
    </message>
    <message>
        <source>The output %1 is the input file %2: give another name.</source>
        <translation>Die Ausgabe %1 ist die Eingabedatei %2: Geben Sie einen anderen Namen an.</translation>
    </message>
    <message>
        <source>Cannot write to %1: the folder %2 does not exist.</source>
        <translation>Kann nicht nach %1 schreiben: Der Ordner %2 existiert nicht.</translation>
    </message>
    <message>
        <source>Cannot write to %1: it is a folder.</source>
        <translation>Kann nicht nach %1 schreiben: Es ist ein Ordner.</translation>
    </message>
    <message>
        <source>the output could not be made</source>
        <translation>die Ausgabe konnte nicht erstellt werden</translation>
    </message>
    <message>
        <source>the work was stopped</source>
        <translation>die Arbeit wurde angehalten</translation>
    </message>
</context>
<context>
    <name>EditorForm</name>
    <message>
        <source>To cut at the times given themselves, choose File &gt; Split Exactly at the Time Given in the main window.</source>
        <translation>Um genau zu den angegebenen Zeiten zu schneiden, wählen Sie im Hauptfenster Datei &gt; Genau zur angegebenen Zeit teilen.</translation>
    </message>
</context>
<context>
    <name>Files</name>
    <message>
        <source>The trash could not take %1 (%2): it was removed for good.</source>
        <translation>Der Papierkorb konnte %1 nicht aufnehmen (%2): Es wurde endgültig gelöscht.</translation>
    </message>
    <message>
        <source>Cannot remove %1: %2.</source>
        <translation>%1 kann nicht entfernt werden: %2.</translation>
    </message>
    <message>
        <source>Cannot read %1: %2.</source>
        <translation>%1 kann nicht gelesen werden: %2.</translation>
    </message>
    <message>
        <source>Cannot write %1: %2.</source>
        <translation>%1 kann nicht geschrieben werden: %2.</translation>
    </message>
    <message>
        <source>the file changed while it was being read</source>
        <translation>die Datei hat sich beim Lesen geändert</translation>
    </message>
    <message>
        <source>it is a folder</source>
        <translation>es ist ein Ordner</translation>
    </message>
    <message>
        <source>it is a socket</source>
        <translation>es ist ein Socket</translation>
    </message>
    <message>
        <source>it is a named pipe</source>
        <translation>es ist eine benannte Pipe</translation>
    </message>
    <message>
        <source>it is a character device</source>
        <translation>es ist ein zeichenorientiertes Gerät</translation>
    </message>
    <message>
        <source>it is a block device</source>
        <translation>es ist ein blockorientiertes Gerät</translation>
    </message>
    <message>
        <source>it is not a regular file</source>
        <translation>es ist keine reguläre Datei</translation>
    </message>
    <message>
        <source>a file of that name appeared while it was written</source>
        <translation>beim Schreiben ist eine Datei dieses Namens entstanden</translation>
    </message>
    <message>
        <source>it decodes to fewer samples than its length</source>
        <translation>sie dekodiert zu weniger Samples, als ihre Länge angibt</translation>
    </message>
    <message>
        <source>it does not decode (%1)</source>
        <translation>sie lässt sich nicht dekodieren (%1)</translation>
    </message>
    <message>
        <source>the decoder could not be loaded (%1)</source>
        <translation>der Decoder konnte nicht geladen werden (%1)</translation>
    </message>
    <message numerus="yes">
        <source>%1 and %n more</source>
        <comment>%1 and %n more</comment>
        <translation>
            <numerusform>%1 und %n weitere</numerusform>
            <numerusform>%1 und %n weitere</numerusform>
        </translation>
    </message>
    <message>
        <source>the destination&apos;s file system does not accept that name</source>
        <translation>das Dateisystem des Ziels nimmt diesen Namen nicht an</translation>
    </message>
    <message>
        <source>the name is longer than the destination&apos;s file system takes</source>
        <translation>der Name ist länger, als das Dateisystem des Ziels ihn annimmt</translation>
    </message>
</context>
<context>
    <name>Gain</name>
    <message>
        <source>%1 holds no record of a gain to undo.</source>
        <translation>%1 hält keine Verstärkung fest, die rückgängig zu machen wäre.</translation>
    </message>
    <message>
        <source>Undoing a gain of %1 steps of 1.5 dB.</source>
        <translation>Eine Verstärkung um %1 Stufen von 1,5 dB wird rückgängig gemacht.</translation>
    </message>
    <message>
        <source>The decoded peak is %1 dBFS: %2 steps louder would clip it, %3 do not.</source>
        <translation>Die dekodierte Spitze liegt bei %1 dBFS: %2 Stufen lauter würden sie übersteuern, %3 nicht.</translation>
    </message>
    <message>
        <source>A gain of no whole step of 1.5 dB changes nothing: %1 is not written.</source>
        <translation>Eine Verstärkung unter einer ganzen Stufe von 1,5 dB ändert nichts: %1 wird nicht geschrieben.</translation>
    </message>
    <message>
        <source>Every granule&apos;s global gain goes %1 steps of 1.5 dB (%2 dB).</source>
        <translation>Die globale Verstärkung jedes Granules ändert sich um %1 Stufen von 1,5 dB (%2 dB).</translation>
    </message>
    <message>
        <source>The ID3v2 tag of %1 cannot hold the record that would undo the gain (its version or its layout).</source>
        <translation>Das ID3v2-Tag von %1 kann die Aufzeichnung nicht fassen, mit der sich die Verstärkung rückgängig machen ließe (seine Version oder sein Aufbau).</translation>
    </message>
    <message>
        <source>%1 granules at the limit of their gain are left as they were; the record keeps them.</source>
        <translation>%1 Granules an der Grenze ihrer Verstärkung bleiben, wie sie waren; die Aufzeichnung hält sie fest.</translation>
    </message>
    <message>
        <source>The gain cancels the one recorded: the output is the file as it was before both.</source>
        <translation>Die Verstärkung hebt die festgehaltene auf: Die Ausgabe ist die Datei, wie sie vor beiden war.</translation>
    </message>
    <message>
        <source>Undoing the gain of %1 into %2</source>
        <translation>Verstärkung von %1 rückgängig machen nach %2</translation>
    </message>
    <message>
        <source>Changing the gain of %1 into %2</source>
        <translation>Verstärkung von %1 ändern nach %2</translation>
    </message>
    <message>
        <source>MP3 gain completed.</source>
        <translation>MP3-Verstärkung abgeschlossen.</translation>
    </message>
    <message>
        <source>The fade-in takes %1 granules, a step of 1.5 dB each.</source>
        <translation>Die Einblende dauert %1 Granules, je eine Stufe von 1,5 dB.</translation>
    </message>
    <message>
        <source>The fade-out takes %1 granules, a step of 1.5 dB each.</source>
        <translation>Die Ausblende dauert %1 Granules, je eine Stufe von 1,5 dB.</translation>
    </message>
    <message>
        <source>%1 is silence: no gain brings it to a loudness.</source>
        <translation>%1 ist Stille: Keine Verstärkung bringt sie auf eine Lautheit.</translation>
    </message>
    <message>
        <source>The integrated loudness is %1 LUFS: %2 steps of 1.5 dB bring it nearest %3 LUFS.</source>
        <translation>Die integrierte Lautheit ist %1 LUFS: %2 Stufen von 1,5 dB bringen sie am nächsten an %3 LUFS.</translation>
    </message>
</context>
<context>
    <name>HelpViewer</name>
    <message>
        <source>Quorvel Help</source>
        <translation>Quorvel-Hilfe</translation>
    </message>
    <message>
        <source>Quorvel.html</source>
        <comment>the help document&apos;s name in this language&apos;s resources</comment>
        <translation>Quorvel_de.html</translation>
    </message>
</context>
<context>
    <name>Input</name>
    <message>
        <source>Minute value has to be numeric</source>
        <translation>Der Minutenwert muss eine Zahl sein</translation>
    </message>
    <message>
        <source>Second value has to be numeric</source>
        <translation>Der Sekundenwert muss eine Zahl sein</translation>
    </message>
    <message>
        <source>Valid second value range is 0 to 59</source>
        <translation>Gültige Sekundenwerte reichen von 0 bis 59</translation>
    </message>
    <message>
        <source>Valid second value range is 0 to %1</source>
        <translation>Gültige Sekundenwerte reichen von 0 bis %1</translation>
    </message>
</context>
<context>
    <name>Join</name>
    <message numerus="yes">
        <source>MPEG %1, %2 Hz, %n channels</source>
        <comment>MPEG %1, %2 Hz, %n channel</comment>
        <translation>
            <numerusform>MPEG %1, %2 Hz, %n Kanal</numerusform>
            <numerusform>MPEG %1, %2 Hz, %n Kanäle</numerusform>
        </translation>
    </message>
    <message>
        <source>%1 holds no MP3 audio.</source>
        <translation>%1 enthält kein MP3-Audio.</translation>
    </message>
    <message>
        <source>%1 cannot be joined to %2: it is %3, %2 is %4. Only files of one MPEG version, sampling rate and channel count join.</source>
        <translation>%1 kann nicht an %2 angefügt werden: Sie ist %3, %2 ist %4. Nur Dateien einer MPEG-Version, Abtastrate und Kanalzahl lassen sich zusammenfügen.</translation>
    </message>
    <message>
        <source>%1 goes on where a split by the frame rule cut %2: %3 frames of the split&apos;s own left out, %4 bytes it had moved put back.</source>
        <translation>%1 setzt fort, wo eine Teilung nach der Frame-Regel %2 schnitt: %3 Frames der Teilung weggelassen, %4 von ihr verschobene Bytes zurückgelegt.</translation>
    </message>
    <message>
        <source>%1 goes on where a split at a sample cut %2: %3 frames of the split&apos;s own and %4 frames both hold left out.</source>
        <translation>%1 setzt fort, wo eine Teilung am Sample %2 schnitt: %3 Frames der Teilung und %4 Frames, die beide enthalten, weggelassen.</translation>
    </message>
    <message>
        <source>Between %1 and %2 the gap their encoders left plays: %3 samples (%4 ms).</source>
        <translation>Zwischen %1 und %2 spielt die Lücke, die ihre Encoder ließen: %3 Samples (%4 ms).</translation>
    </message>
    <message>
        <source>The first frame of %1 borrows %2 bytes from frames it does not hold: zeros stand for them.</source>
        <translation>Der erste Frame von %1 leiht sich %2 Bytes von Frames, die die Datei nicht enthält: Nullen stehen für sie.</translation>
    </message>
    <message>
        <source>the start of %1</source>
        <translation>der Naht vor %1</translation>
    </message>
    <message>
        <source>The chapters could not be written: the tag library could not read or make the tag.</source>
        <translation>Die Kapitel konnten nicht geschrieben werden: Die Tag-Bibliothek konnte das Tag nicht lesen oder erstellen.</translation>
    </message>
    <message>
        <source>No frame of %1&apos;s stream can hold a length header.</source>
        <translation>Kein Frame des Datenstroms von %1 kann einen Längenkopf fassen.</translation>
    </message>
    <message numerus="yes">
        <source>Joining %n files into %1</source>
        <comment>Joining %n file into %1</comment>
        <translation>
            <numerusform>Füge %n Datei zu %1 zusammen</numerusform>
            <numerusform>Füge %n Dateien zu %1 zusammen</numerusform>
        </translation>
    </message>
    <message>
        <source>MP3 joining completed.</source>
        <translation>MP3-Zusammenfügen abgeschlossen.</translation>
    </message>
</context>
<context>
    <name>Loudness</name>
    <message>
        <source>Cannot measure %1: %2.</source>
        <translation>%1 kann nicht gemessen werden: %2.</translation>
    </message>
    <message>
        <source>its ID3v2 tag cannot be read</source>
        <translation>sein ID3v2-Tag lässt sich nicht lesen</translation>
    </message>
    <message>
        <source>its tags could not be written</source>
        <translation>seine Tags ließen sich nicht schreiben</translation>
    </message>
    <message>
        <source>Measuring the loudness of %1 from %2 to %3</source>
        <translation>Lautheit von %1 von %2 bis %3 messen</translation>
    </message>
    <message>
        <source>integrated: %1 LUFS, range: %2 LU, peak: %3 dBFS</source>
        <translation>integriert: %1 LUFS, Umfang: %2 LU, Spitze: %3 dBFS</translation>
    </message>
</context>
<context>
    <name>PartLists</name>
    <message>
        <source>The source&apos;s ID3v2 tag could not be read (%1).</source>
        <translation>Das ID3v2-Tag der Quelle konnte nicht gelesen werden (%1).</translation>
    </message>
    <message>
        <source>Chapter %1 of the tag: %2 is also the start of chapter %3; each chapter needs a start of its own.</source>
        <translation>Kapitel %1 des Tags: %2 ist auch der Beginn von Kapitel %3; jedes Kapitel braucht einen eigenen Beginn.</translation>
    </message>
</context>
<context>
    <name>SeamCheck</name>
    <message numerus="yes">
        <source>%1 Hz, %n channels</source>
        <comment>%1 Hz, %n channel</comment>
        <translation>
            <numerusform>%1 Hz, %n Kanal</numerusform>
            <numerusform>%1 Hz, %n Kanäle</numerusform>
        </translation>
    </message>
    <message>
        <source>from %1 ms before to %2 ms after the cut</source>
        <translation>von %1 ms vor bis %2 ms nach dem Schnitt</translation>
    </message>
    <message>
        <source>up to %1 ms after the cut</source>
        <translation>bis %1 ms nach dem Schnitt</translation>
    </message>
    <message>
        <source>up to %1 ms before the cut</source>
        <translation>bis %1 ms vor dem Schnitt</translation>
    </message>
    <message>
        <source>Seam check skipped: the decoder could not be loaded (%1).</source>
        <translation>Nahtprüfung übersprungen: Der Decoder konnte nicht geladen werden (%1).</translation>
    </message>
    <message>
        <source>Seam check: the parts join the source exactly (0 of %1 samples differ)</source>
        <translation>Nahtprüfung: Die Teile ergeben genau die Quelle (0 von %1 Samples weichen ab)</translation>
    </message>
    <message numerus="yes">
        <source>Seam check: %1 of %2 samples differ, by up to %3 steps, %4.</source>
        <comment>Seam check: %1 of %2 samples differs, by up to %3 steps, %4.</comment>
        <translation>
            <numerusform>Nahtprüfung: %1 von %2 Samples weicht ab, um bis zu %3 Stufen, %4.</numerusform>
            <numerusform>Nahtprüfung: %1 von %2 Samples weichen ab, um bis zu %3 Stufen, %4.</numerusform>
        </translation>
    </message>
    <message>
        <source>Seam check skipped: the split was stopped.</source>
        <translation>Nahtprüfung übersprungen: Das Teilen wurde angehalten.</translation>
    </message>
    <message>
        <source>Seam check skipped: cannot read %1: %2.</source>
        <translation>Nahtprüfung übersprungen: %1 kann nicht gelesen werden: %2.</translation>
    </message>
    <message>
        <source>Seam check skipped: cannot write %1: %2.</source>
        <translation>Nahtprüfung übersprungen: %1 kann nicht geschrieben werden: %2.</translation>
    </message>
    <message>
        <source>Seam check: the parts do not decode as the source does (%1; part %2: %3; part %4: %5).</source>
        <translation>Nahtprüfung: Die Teile dekodieren anders als die Quelle (%1; Teil %2: %3; Teil %4: %5).</translation>
    </message>
    <message>
        <source>Seam between parts %1 and %2:</source>
        <translation>Naht zwischen Teil %1 und Teil %2:</translation>
    </message>
    <message numerus="yes">
        <source>Seam check: the parts hold %1 samples more than the source (%2 against %3).</source>
        <comment>Seam check: the parts hold %1 sample more than the source (%2 against %3).</comment>
        <translation>
            <numerusform>Nahtprüfung: Die Teile enthalten %1 Sample mehr als die Quelle (%2 gegenüber %3).</numerusform>
            <numerusform>Nahtprüfung: Die Teile enthalten %1 Samples mehr als die Quelle (%2 gegenüber %3).</numerusform>
        </translation>
    </message>
    <message numerus="yes">
        <source>Seam check: the parts hold %1 samples fewer than the source (%2 against %3).</source>
        <comment>Seam check: the parts hold %1 sample fewer than the source (%2 against %3).</comment>
        <translation>
            <numerusform>Nahtprüfung: Die Teile enthalten %1 Sample weniger als die Quelle (%2 gegenüber %3).</numerusform>
            <numerusform>Nahtprüfung: Die Teile enthalten %1 Samples weniger als die Quelle (%2 gegenüber %3).</numerusform>
        </translation>
    </message>
    <message>
        <source>Checking the seam</source>
        <translation>Die Naht wird geprüft</translation>
    </message>
</context>
<context>
    <name>Split</name>
    <message>
        <source>Writing to %1</source>
        <translation>Schreibe nach %1</translation>
    </message>
    <message>
        <source>Nothing was changed: %1.</source>
        <translation>Nichts wurde geändert: %1.</translation>
    </message>
    <message>
        <source>Please choose a source MP3 file to split.</source>
        <translation>Bitte wählen Sie eine MP3-Quelldatei zum Teilen.</translation>
    </message>
    <message>
        <source>Please enter/choose the destination folder.</source>
        <translation>Bitte geben Sie den Zielordner ein oder wählen Sie ihn.</translation>
    </message>
    <message>
        <source>Cannot write to %1: %2.</source>
        <translation>In %1 kann nicht geschrieben werden: %2.</translation>
    </message>
    <message>
        <source>Please create destination folder.</source>
        <translation>Bitte legen Sie den Zielordner an.</translation>
    </message>
    <message>
        <source>Cannot write to %1: it is a file, not a folder.</source>
        <translation>In %1 kann nicht geschrieben werden: Es ist eine Datei, kein Ordner.</translation>
    </message>
    <message>
        <source>Source MP3 file not found</source>
        <translation>MP3-Quelldatei nicht gefunden</translation>
    </message>
    <message>
        <source>Split time cannot be &lt;= 0 and &gt;= Source duration</source>
        <translation>Die Teilungszeit darf nicht &lt;= 0 und nicht &gt;= der Dauer der Quelle sein</translation>
    </message>
    <message>
        <source>Finding safe point to split file...</source>
        <translation>Suche eine sichere Stelle zum Teilen der Datei...</translation>
    </message>
    <message>
        <source>File splitting aborted.</source>
        <translation>Teilen der Datei abgebrochen.</translation>
    </message>
    <message>
        <source>the split failed</source>
        <translation>das Teilen ist fehlgeschlagen</translation>
    </message>
    <message>
        <source>Found safe position to split at byte %1 (frame %2)</source>
        <translation>Sichere Stelle zum Teilen bei Byte %1 gefunden (Frame %2)</translation>
    </message>
    <message>
        <source>Cutting exactly at %1 (sample %2)</source>
        <translation>Schnitt genau bei %1 (Sample %2)</translation>
    </message>
    <message>
        <source>Cutting at %1 (sample %2), the frame boundary nearest the time: the source carries no gapless information.</source>
        <translation>Schnitt bei %1 (Sample %2), der Framegrenze, die der Zeit am nächsten liegt: Die Quelle enthält keine Angaben für lückenlose Wiedergabe.</translation>
    </message>
    <message>
        <source>Safe position lies at %1, %2 seconds after the split time.</source>
        <translation>Die sichere Stelle liegt bei %1, %2 Sekunden nach der Teilungszeit.</translation>
    </message>
    <message>
        <source>No safe position found for splitting this file.</source>
        <translation>Keine sichere Stelle zum Teilen dieser Datei gefunden.</translation>
    </message>
    <message>
        <source>Beginning to split files now.</source>
        <translation>Das Teilen der Datei beginnt jetzt.</translation>
    </message>
    <message>
        <source>it is the source file %1</source>
        <translation>es ist die Quelldatei %1</translation>
    </message>
    <message>
        <source>it is a folder</source>
        <translation>es ist ein Ordner</translation>
    </message>
    <message>
        <source>Aborting split file now.</source>
        <translation>Das Teilen wird jetzt abgebrochen.</translation>
    </message>
    <message>
        <source>The tag library could not be loaded (%1): the tags keep the source&apos;s length, and a replaced file is removed for good.</source>
        <translation>Die Tag-Bibliothek konnte nicht geladen werden (%1): Die Tags behalten die Länge der Quelle, und eine ersetzte Datei wird endgültig gelöscht.</translation>
    </message>
    <message>
        <source>Source file size      : %1 bytes.</source>
        <translation>Größe der Quelldatei   : %1 Bytes.</translation>
    </message>
    <message>
        <source>Total bytes written : %1 bytes.</source>
        <translation>Insgesamt geschrieben : %1 Bytes.</translation>
    </message>
    <message numerus="yes">
        <source>(added %n new frames of %1 bytes, which gapless players do not play)</source>
        <comment>(added %n new frame of %1 bytes, which gapless players do not play)</comment>
        <translation>
            <numerusform>(%n neuer Frame mit %1 Bytes hinzugefügt, den lückenlos abspielende Player nicht wiedergeben)</numerusform>
            <numerusform>(%n neue Frames mit %1 Bytes hinzugefügt, die lückenlos abspielende Player nicht wiedergeben)</numerusform>
        </translation>
    </message>
    <message numerus="yes">
        <source>(added %n new frames of %1 bytes to preserve data)</source>
        <comment>(added %n new frame of %1 bytes to preserve data)</comment>
        <translation>
            <numerusform>(%n neuer Frame mit %1 Bytes hinzugefügt, um Daten zu erhalten)</numerusform>
            <numerusform>(%n neue Frames mit %1 Bytes hinzugefügt, um Daten zu erhalten)</numerusform>
        </translation>
    </message>
    <message>
        <source>MP3 splitting completed.</source>
        <translation>Teilen der MP3-Datei abgeschlossen.</translation>
    </message>
    <message>
        <source>the split was stopped</source>
        <translation>das Teilen wurde angehalten</translation>
    </message>
    <message>
        <source>The cut at %1 lies at or before the start of the source.</source>
        <translation>Der Schnitt bei %1 liegt am oder vor dem Anfang der Quelle.</translation>
    </message>
    <message>
        <source>The cut at %1 lies at or past the end of the source (%2).</source>
        <translation>Der Schnitt bei %1 liegt am oder hinter dem Ende der Quelle (%2).</translation>
    </message>
    <message>
        <source>The cuts at %1 and %2 fall on the same frame.</source>
        <translation>Die Schnitte bei %1 und %2 fallen auf denselben Frame.</translation>
    </message>
    <message>
        <source>Two parts would have the same name: %1.</source>
        <translation>Zwei Teile bekämen denselben Namen: %1.</translation>
    </message>
    <message numerus="yes">
        <source>Output files %1 already exist. Do you want to replace them?</source>
        <comment>Output file %1 already exists. Do you want to replace?</comment>
        <translation>
            <numerusform>Die Ausgabedatei %1 existiert bereits. Möchten Sie sie ersetzen?</numerusform>
            <numerusform>Die Ausgabedateien %1 existieren bereits. Möchten Sie sie ersetzen?</numerusform>
        </translation>
    </message>
    <message numerus="yes">
        <source>Nothing was changed: %1 were kept.</source>
        <comment>Nothing was changed: %1 was kept.</comment>
        <translation>
            <numerusform>Nichts wurde geändert: %1 wurde behalten.</numerusform>
            <numerusform>Nichts wurde geändert: %1 wurden behalten.</numerusform>
        </translation>
    </message>
    <message>
        <source>No safe position found for the cut at %1.</source>
        <translation>Keine sichere Stelle für den Schnitt bei %1 gefunden.</translation>
    </message>
    <message>
        <source>the older %1 is kept as %2, as another file has its name</source>
        <translation>die ältere Datei %1 bleibt als %2 erhalten, da eine andere Datei ihren Namen trägt</translation>
    </message>
    <message>
        <source>Moved the older %1 to the trash.</source>
        <translation>Die ältere Datei %1 wurde in den Papierkorb verschoben.</translation>
    </message>
    <message>
        <source>%1; %2</source>
        <translation>%1; %2</translation>
    </message>
    <message>
        <source>Not everything could be undone (%1): %2. The next run into the folder tries again.</source>
        <translation>Nicht alles konnte rückgängig gemacht werden (%1): %2. Der nächste Lauf in diesen Ordner versucht es erneut.</translation>
    </message>
    <message>
        <source>An earlier run into %1 was ended while it named its parts, once all had their names: it was completed.</source>
        <translation>Ein früherer Lauf in %1 wurde beendet, während er seine Teile benannte, nachdem alle ihre Namen hatten: Er wurde abgeschlossen.</translation>
    </message>
    <message>
        <source>An earlier run into %1 was ended while it named its parts: it was rolled back, the older files are as they were.</source>
        <translation>Ein früherer Lauf in %1 wurde beendet, während er seine Teile benannte: Er wurde zurückgenommen, die älteren Dateien sind wie zuvor.</translation>
    </message>
    <message>
        <source>An earlier run into %1 was ended while it named its parts and could not be rolled back entirely: %2. The next run into the folder tries again.</source>
        <translation>Ein früherer Lauf in %1 wurde beendet, während er seine Teile benannte, und konnte nicht vollständig zurückgenommen werden: %2. Der nächste Lauf in diesen Ordner versucht es erneut.</translation>
    </message>
    <message>
        <source>Two parts would have one name: the file system of %1 takes %2 and %3 for the same name.</source>
        <translation>Zwei Teile hätten einen Namen: Das Dateisystem von %1 hält %2 und %3 für denselben Namen.</translation>
    </message>
    <message>
        <source>The file system of %1 does not accept the name %2.</source>
        <translation>Das Dateisystem von %1 nimmt den Namen %2 nicht an.</translation>
    </message>
    <message>
        <source>The name %1 is too long for the file system of %2.</source>
        <translation>Der Name %1 ist zu lang für das Dateisystem von %2.</translation>
    </message>
    <message>
        <source>The cut at %1 cannot be made exactly: the frames of this free-format stream, %2 bytes long, are too short to carry what the part after it needs from before the cut.</source>
        <translation>Der Schnitt bei %1 kann nicht genau gesetzt werden: Die Frames dieses Datenstroms im freien Format sind %2 Bytes lang, zu kurz, um zu tragen, was der Teil danach von vor dem Schnitt braucht.</translation>
    </message>
    <message>
        <source>the source changed while it was being split</source>
        <translation>die Quelle hat sich geändert, während sie geteilt wurde</translation>
    </message>
    <message>
        <source>The source&apos;s ID3v2 tag was left unread (%1): the parts carry it as it is, with the source&apos;s length and chapters.</source>
        <translation>Das ID3v2-Tag der Quelle blieb ungelesen (%1): Die Teile tragen es unverändert, mit der Länge und den Kapiteln der Quelle.</translation>
    </message>
    <message>
        <source>The cut at %1 leaves a part of a single frame, which players cannot open.</source>
        <translation>Der Schnitt bei %1 lässt einen Teil aus einem einzigen Frame zurück, den Player nicht öffnen können.</translation>
    </message>
    <message>
        <source>Seam check skipped: the parts are faded.</source>
        <translation>Nahtprüfung ausgelassen: Die Teile sind geblendet.</translation>
    </message>
    <message>
        <source>Removed the older %1.</source>
        <translation>Die ältere Datei %1 wurde entfernt.</translation>
    </message>
</context>
<context>
    <name>Tags</name>
    <message>
        <source>its chapters nest more than %1 deep</source>
        <translation>seine Kapitel sind tiefer als %1 Ebenen verschachtelt</translation>
    </message>
</context>
<context>
    <name>Trim</name>
    <message>
        <source>%1 is silence alone: nothing would be left.</source>
        <translation>%1 enthält nur Stille: Nichts bliebe übrig.</translation>
    </message>
    <message>
        <source>The sound plays from %1 to %2: the output keeps %3 to %4.</source>
        <translation>Der Klang spielt von %1 bis %2: Die Ausgabe behält %3 bis %4.</translation>
    </message>
    <message>
        <source>Trimming the silence of %1 into %2</source>
        <translation>Schneide die Stille von %1 ab nach %2</translation>
    </message>
    <message>
        <source>MP3 trimming completed.</source>
        <translation>MP3-Stille abgeschnitten.</translation>
    </message>
    <message>
        <source>Looking for the silence at either end of %1</source>
        <translation>Suche die Stille an beiden Enden von %1</translation>
    </message>
    <message>
        <source>The sound plays from %1 to %2: the edit keeps %3 to %4.</source>
        <translation>Der Klang spielt von %1 bis %2: Die Bearbeitung behält %3 bis %4.</translation>
    </message>
</context>
<context>
    <name>Volumes</name>
    <message>
        <source>Home</source>
        <translation>Persönlicher Ordner</translation>
    </message>
</context>
<context>
    <name>WorkResult</name>
    <message>
        <source>Stopped: nothing was changed.</source>
        <translation>Angehalten: Nichts wurde geändert.</translation>
    </message>
    <message>
        <source>Failed: %1</source>
        <translation>Fehlgeschlagen: %1</translation>
    </message>
    <message>
        <source>Refused: %1</source>
        <translation>Abgelehnt: %1</translation>
    </message>
    <message>
        <source>Completed: %1 written.</source>
        <translation>Fertig: %1 geschrieben.</translation>
    </message>
</context>
<context>
    <name>frmCopyFile</name>
    <message>
        <source>Quorvel V%1.%2%3  by the Quorvel project</source>
        <translation>Quorvel V%1.%2%3  vom Quorvel-Projekt</translation>
    </message>
</context>
<context>
    <name>main</name>
    <message>
        <source>Cuts, splits and checks MP3 files without re-encoding.</source>
        <translation>Schneidet, teilt und prüft MP3-Dateien ohne Neukodierung.</translation>
    </message>
    <message>
        <source>file</source>
        <translation>datei</translation>
    </message>
    <message>
        <source>The MP3 file to split.</source>
        <translation>Die zu teilende MP3-Datei.</translation>
    </message>
    <message>
        <source>[file]</source>
        <translation>[datei]</translation>
    </message>
</context>
<context>
    <name>quorvel-cli</name>
    <message>
        <source>(no: give --replace to replace)</source>
        <translation>(nein: mit --replace wird ersetzt)</translation>
    </message>
    <message>
        <source>To split at the time given itself, add --exact.</source>
        <translation>Um genau zur angegebenen Zeit zu teilen, geben Sie --exact an.</translation>
    </message>
    <message>
        <source>no command given</source>
        <translation>kein Befehl angegeben</translation>
    </message>
    <message>
        <source>unknown command &apos;%1&apos;</source>
        <translation>unbekannter Befehl &apos;%1&apos;</translation>
    </message>
    <message>
        <source>%1: missing operand</source>
        <translation>%1: Operand fehlt</translation>
    </message>
    <message>
        <source>%1: extra operand &apos;%2&apos;</source>
        <translation>%1: zusätzlicher Operand &apos;%2&apos;</translation>
    </message>
    <message>
        <source>parts: invalid time &apos;%1&apos;</source>
        <translation>parts: ungültige Zeit &apos;%1&apos;</translation>
    </message>
    <message>
        <source>parts: invalid count &apos;%1&apos;</source>
        <translation>parts: ungültige Anzahl &apos;%1&apos;</translation>
    </message>
    <message>
        <source>%1: option &apos;--%2&apos; is the parts command&apos;s</source>
        <translation>%1: Option &apos;--%2&apos; gehört zum Befehl parts</translation>
    </message>
    <message>
        <source>parts: give --at, --cue, --chapters, --every or --count, one of them</source>
        <translation>parts: genau eine der Optionen --at, --cue, --chapters, --every und --count angeben</translation>
    </message>
    <message>
        <source>parts: %1 has no chapters to split at</source>
        <translation>parts: %1 hat keine Kapitel, an denen geteilt werden kann</translation>
    </message>
    <message>
        <source>%1: option &apos;--%2&apos; is the silences command&apos;s</source>
        <translation>%1: Option &apos;--%2&apos; gehört zum Befehl silences</translation>
    </message>
    <message>
        <source>cannot write to the standard output: %1</source>
        <translation>kann nicht in die Standardausgabe schreiben: %1</translation>
    </message>
    <message>
        <source>Finding silences</source>
        <translation>Stille wird gesucht</translation>
    </message>
    <message>
        <source>%1: the desktop module cannot be loaded (%2); nothing was done</source>
        <translation>%1: Das Desktop-Modul kann nicht geladen werden (%2); nichts wurde getan</translation>
    </message>
    <message>
        <source>split: invalid minute &apos;%1&apos;</source>
        <translation>split: ungültige Minute &apos;%1&apos;</translation>
    </message>
    <message>
        <source>split: invalid second &apos;%1&apos;</source>
        <translation>split: ungültige Sekunde &apos;%1&apos;</translation>
    </message>
    <message>
        <source>%1 is damaged: %2 s of its audio does not decode, and counts as silence or is left out, as players play it</source>
        <translation>%1 ist beschädigt: %2 s seines Tons lassen sich nicht dekodieren und zählen als Stille oder fallen weg, wie Player die Datei spielen</translation>
    </message>
    <message>
        <source>cut: give --remove FROM-TO at least once</source>
        <translation>cut: Geben Sie --remove VON-BIS mindestens einmal an</translation>
    </message>
    <message>
        <source>cut: invalid span &apos;%1&apos;</source>
        <translation>cut: ungültiger Abschnitt &apos;%1&apos;</translation>
    </message>
    <message>
        <source>%1: option &apos;--%2&apos; is the cut command&apos;s</source>
        <translation>%1: Option &apos;--%2&apos; gehört zum Befehl cut</translation>
    </message>
    <message>
        <source>%1: option &apos;--%2&apos; is the trim command&apos;s</source>
        <translation>%1: Option &apos;--%2&apos; gehört zum Befehl trim</translation>
    </message>
    <message>
        <source>gain: invalid change &apos;%1&apos;</source>
        <translation>gain: ungültige Änderung &apos;%1&apos;</translation>
    </message>
    <message>
        <source>%1: invalid threshold &apos;%2&apos;</source>
        <translation>%1: ungültige Schwelle &apos;%2&apos;</translation>
    </message>
    <message>
        <source>%1: invalid length &apos;%2&apos;</source>
        <translation>%1: ungültige Länge &apos;%2&apos;</translation>
    </message>
    <message>
        <source>Measuring loudness</source>
        <translation>Lautheit wird gemessen</translation>
    </message>
    <message>
        <source>%1 is silent throughout: it has no ReplayGain to write</source>
        <translation>%1 ist durchgehend still: es gibt keinen ReplayGain-Wert zu schreiben</translation>
    </message>
    <message>
        <source>Writing ReplayGain tags</source>
        <translation>ReplayGain-Tags werden geschrieben</translation>
    </message>
    <message>
        <source>%1: option &apos;--%2&apos; is the loudness command&apos;s</source>
        <translation>%1: Option &apos;--%2&apos; gehört zum Befehl loudness</translation>
    </message>
    <message>
        <source>%1: option &apos;--%2&apos; is that of split, parts, cut and gain</source>
        <translation>%1: Option &apos;--%2&apos; gehört zu split, parts, cut und gain</translation>
    </message>
    <message>
        <source>%1: option &apos;--%2&apos; is the gain command&apos;s</source>
        <translation>%1: Option &apos;--%2&apos; gehört zum Befehl gain</translation>
    </message>
    <message>
        <source>gain: give --db, --to or --undo, one of them</source>
        <translation>gain: --db, --to oder --undo angeben, eines davon</translation>
    </message>
    <message>
        <source>gain: invalid loudness &apos;%1&apos;</source>
        <translation>gain: ungültige Lautheit &apos;%1&apos;</translation>
    </message>
</context>
<context>
    <name>quorvel::ui::BackgroundWork</name>
    <message>
        <source>A split is running. Stop it and close?</source>
        <translation>Eine Teilung läuft. Anhalten und schließen?</translation>
    </message>
    <message>
        <source>An edit is running. Stop it and close?</source>
        <translation>Eine Bearbeitung läuft. Anhalten und schließen?</translation>
    </message>
</context>
<context>
    <name>quorvel::ui::EditModel</name>
    <message>
        <source>Add Cut</source>
        <translation>Schnitt hinzufügen</translation>
    </message>
    <message>
        <source>Remove Cut</source>
        <translation>Schnitt entfernen</translation>
    </message>
    <message>
        <source>Edit Title</source>
        <translation>Titel bearbeiten</translation>
    </message>
    <message>
        <source>Edit Performer</source>
        <translation>Interpret bearbeiten</translation>
    </message>
    <message>
        <source>Keep Only the Selection</source>
        <translation>Nur die Auswahl behalten</translation>
    </message>
    <message>
        <source>Cut Out the Selection</source>
        <translation>Auswahl herausschneiden</translation>
    </message>
    <message>
        <source>Change the Level</source>
        <translation>Pegel ändern</translation>
    </message>
    <message>
        <source>Fade In</source>
        <translation>Einblenden</translation>
    </message>
    <message>
        <source>Fade Out</source>
        <translation>Ausblenden</translation>
    </message>
</context>
<context>
    <name>quorvel::ui::WaveView</name>
    <message>
        <source>fade in</source>
        <translation>Einblende</translation>
    </message>
    <message>
        <source>fade out</source>
        <translation>Ausblende</translation>
    </message>
    <message>
        <source>%1 dB</source>
        <translation>%1 dB</translation>
    </message>
</context>
<context>
    <name>quorvel::ui::frmAbout</name>
    <message>
        <source>About %1</source>
        <translation>Über %1</translation>
    </message>
    <message>
        <source>Warning: this program is provided &quot;AS IS&quot;, without warranty of any kind. You use it at your own risk.</source>
        <translation>Warnung: Dieses Programm wird „WIE BESEHEN“ bereitgestellt, ohne jegliche Gewährleistung. Sie benutzen es auf eigene Gefahr.</translation>
    </message>
    <message>
        <source>OK</source>
        <translation>OK</translation>
    </message>
    <message>
        <source>&amp;System Info...</source>
        <translation>&amp;Systeminfo...</translation>
    </message>
    <message>
        <source>%1 icon</source>
        <translation>Symbol von %1</translation>
    </message>
    <message>
        <source>Version %1</source>
        <translation>Version %1</translation>
    </message>
    <message>
        <source>Quorvel is free software under the MIT licence, brought to you by the Quorvel project (quorvel.example).

Visit the Quorvel homepage at quorvel.example for more information.</source>
        <translation>Quorvel ist freie Software unter der MIT-Lizenz, bereitgestellt vom Quorvel-Projekt (quorvel.example).

Weitere Informationen finden Sie auf der Quorvel-Homepage unter quorvel.example.</translation>
    </message>
    <message>
        <source>System Information</source>
        <translation>Systeminformationen</translation>
    </message>
    <message>
        <source>Quorvel %1
Qt %2 (built with %3)
System: %4, %5
Locale: %6
Desktop module: %7</source>
        <translation>Quorvel %1
Qt %2 (erstellt mit %3)
System: %4, %5
Gebietsschema: %6
Desktop-Modul: %7</translation>
    </message>
    <message>
        <source>not loaded: %1</source>
        <translation>nicht geladen: %1</translation>
    </message>
    <message>
        <source>loaded</source>
        <translation>geladen</translation>
    </message>
</context>
<context>
    <name>quorvel::ui::frmBrowseFolder</name>
    <message>
        <source>Browse destination folder</source>
        <translation>Zielordner suchen</translation>
    </message>
    <message>
        <source>Look in:</source>
        <translation>Suchen in:</translation>
    </message>
    <message>
        <source>&amp;Create Folder</source>
        <translation>Ordner &amp;anlegen</translation>
    </message>
    <message>
        <source>&amp;Ok</source>
        <translation>&amp;OK</translation>
    </message>
    <message>
        <source>Ca&amp;ncel</source>
        <translation>Abbre&amp;chen</translation>
    </message>
    <message>
        <source>&amp;Delete Folder</source>
        <translation>Ordner &amp;löschen</translation>
    </message>
    <message>
        <source>Current Folder :</source>
        <translation>Aktueller Ordner :</translation>
    </message>
    <message>
        <source>Volume</source>
        <translation>Laufwerk</translation>
    </message>
    <message>
        <source>The volume whose folders the list shows</source>
        <translation>Das Laufwerk, dessen Ordner die Liste zeigt</translation>
    </message>
    <message>
        <source>Folders</source>
        <translation>Ordner</translation>
    </message>
    <message>
        <source>The folders of the current folder and the folders above it</source>
        <translation>Die Ordner im aktuellen Ordner und die Ordner darüber</translation>
    </message>
    <message>
        <source>Current folder</source>
        <translation>Aktueller Ordner</translation>
    </message>
    <message>
        <source>Nothing in the drive!</source>
        <translation>Nichts im Laufwerk!</translation>
    </message>
    <message>
        <source>Please enter new folder name :</source>
        <translation>Bitte geben Sie den Namen des neuen Ordners ein :</translation>
    </message>
    <message>
        <source>Create new folder</source>
        <translation>Neuen Ordner anlegen</translation>
    </message>
    <message>
        <source>Cannot create folder %1: %2.</source>
        <translation>Der Ordner %1 kann nicht angelegt werden: %2.</translation>
    </message>
    <message>
        <source>The folder %1 is the root of a volume and cannot be deleted.</source>
        <translation>Der Ordner %1 ist die Wurzel eines Laufwerks und kann nicht gelöscht werden.</translation>
    </message>
    <message>
        <source>Are you sure you want to delete :
%1 ?</source>
        <translation>Möchten Sie wirklich löschen :
%1 ?</translation>
    </message>
    <message>
        <source>The folder will be moved to the trash</source>
        <translation>Der Ordner wird in den Papierkorb verschoben</translation>
    </message>
    <message>
        <source>There are files in %1. Are you sure you want to delete the folder and files inside the folder?</source>
        <translation>In %1 liegen Dateien. Möchten Sie den Ordner und die Dateien darin wirklich löschen?</translation>
    </message>
</context>
<context>
    <name>quorvel::ui::frmCopyFile</name>
    <message>
        <source>Progress</source>
        <translation>Fortschritt</translation>
    </message>
    <message>
        <source>How far the work under way has read or written</source>
        <translation>Wie weit die laufende Arbeit gelesen oder geschrieben hat</translation>
    </message>
    <message>
        <source>Stop the work under way; nothing is changed</source>
        <translation>Hält die laufende Arbeit an; nichts wird geändert</translation>
    </message>
    <message>
        <source>Open MP3 file</source>
        <translation>MP3-Datei öffnen</translation>
    </message>
    <message>
        <source>MPEG Audio Files (*.MP3)</source>
        <translation>MPEG-Audiodateien (*.MP3)</translation>
    </message>
    <message>
        <source>Source MP3 file to open :</source>
        <translation>Zu öffnende MP3-Quelldatei :</translation>
    </message>
    <message>
        <source>Path and name of the MP3 you want to split (eg. ~/Music/mysong.mp3)</source>
        <translation>Pfad und Name der MP3-Datei, die Sie teilen möchten (z. B. ~/Musik/meinlied.mp3)</translation>
    </message>
    <message>
        <source>&amp;Browse</source>
        <translation>Durch&amp;suchen</translation>
    </message>
    <message>
        <source>Destination folder :</source>
        <translation>Zielordner :</translation>
    </message>
    <message>
        <source>Destination folder where you want the two resulting files to reside (eg. ~/Music/Work)</source>
        <translation>Zielordner, in dem die beiden entstehenden Dateien liegen sollen (z. B. ~/Musik/Arbeit)</translation>
    </message>
    <message>
        <source>B&amp;rowse</source>
        <translation>Dur&amp;chsuchen</translation>
    </message>
    <message>
        <source>File Information</source>
        <translation>Dateiinformationen</translation>
    </message>
    <message>
        <source>Size (Mb)            :</source>
        <translation>Größe (MB)             :</translation>
    </message>
    <message>
        <source>File type :</source>
        <translation>Dateityp :</translation>
    </message>
    <message>
        <source>Bit rate (bits)       :</source>
        <translation>Bitrate (Bit/s)        :</translation>
    </message>
    <message>
        <source>No. of frames         :</source>
        <translation>Anzahl Frames          :</translation>
    </message>
    <message>
        <source>Duration (mm:ss) :</source>
        <translation>Dauer (mm:ss) :</translation>
    </message>
    <message>
        <source>Sampling rate (Hz) :</source>
        <translation>Abtastrate (Hz) :</translation>
    </message>
    <message>
        <source>Split file at (mm:ss) :</source>
        <translation>Datei teilen bei (mm:ss) :</translation>
    </message>
    <message>
        <source>Which minute of the song that you want it to be split at (eg. 3 = 3rd minute)</source>
        <translation>Die Minute des Stücks, bei der geteilt werden soll (z. B. 3 = 3. Minute)</translation>
    </message>
    <message>
        <source>Which second of the song that you want it to be split at (eg. 30 = 30th second)</source>
        <translation>Die Sekunde des Stücks, bei der geteilt werden soll (z. B. 30 = 30. Sekunde)</translation>
    </message>
    <message>
        <source>File Split</source>
        <translation>Datei teilen</translation>
    </message>
    <message>
        <source>&amp;Split File !</source>
        <translation>Datei &amp;teilen !</translation>
    </message>
    <message>
        <source>System messages :</source>
        <translation>Systemmeldungen :</translation>
    </message>
    <message>
        <source>Source MP3 file</source>
        <translation>MP3-Quelldatei</translation>
    </message>
    <message>
        <source>Destination folder</source>
        <translation>Zielordner</translation>
    </message>
    <message>
        <source>Split minute</source>
        <translation>Teilungsminute</translation>
    </message>
    <message>
        <source>Split second</source>
        <translation>Teilungssekunde</translation>
    </message>
    <message>
        <source>Browse for the source MP3 file</source>
        <translation>Nach der MP3-Quelldatei suchen</translation>
    </message>
    <message>
        <source>Browse for the destination folder</source>
        <translation>Nach dem Zielordner suchen</translation>
    </message>
    <message>
        <source>System messages</source>
        <translation>Systemmeldungen</translation>
    </message>
    <message>
        <source>What Quorvel does, step by step</source>
        <translation>Was Quorvel tut, Schritt für Schritt</translation>
    </message>
    <message>
        <source>&amp;File</source>
        <translation>&amp;Datei</translation>
    </message>
    <message>
        <source>&amp;Open</source>
        <translation>&amp;Öffnen</translation>
    </message>
    <message>
        <source>Split E&amp;xactly at the Time Given</source>
        <translation>&amp;Genau zur angegebenen Zeit teilen</translation>
    </message>
    <message>
        <source>&amp;Exit</source>
        <translation>&amp;Beenden</translation>
    </message>
    <message>
        <source>&amp;Help</source>
        <translation>&amp;Hilfe</translation>
    </message>
    <message>
        <source>&amp;How To</source>
        <translation>&amp;Anleitung</translation>
    </message>
    <message>
        <source>&amp;About</source>
        <translation>&amp;Über</translation>
    </message>
    <message>
        <source>Split into Several &amp;Parts...</source>
        <translation>In mehrere &amp;Teile teilen...</translation>
    </message>
    <message>
        <source>&amp;View</source>
        <translation>&amp;Ansicht</translation>
    </message>
    <message>
        <source>&amp;Waveform...</source>
        <translation>&amp;Wellenform...</translation>
    </message>
    <message>
        <source>S&amp;top</source>
        <translation>A&amp;nhalten</translation>
    </message>
    <message>
        <source>&amp;Clear List</source>
        <translation>Liste &amp;leeren</translation>
    </message>
    <message>
        <source>E&amp;xactly at this time</source>
        <translation>&amp;Genau zu dieser Zeit</translation>
    </message>
    <message>
        <source>Cut at the time given itself, to the sample, as File &gt; Split Exactly at the Time Given does; otherwise at the first frame from it that the split can start at</source>
        <translation>Genau zur angegebenen Zeit schneiden, auf das Sample, wie Datei &gt; Genau zur angegebenen Zeit teilen; sonst am ersten Frame ab dieser Zeit, an dem die Teilung beginnen kann</translation>
    </message>
    <message>
        <source>Open &amp;Recent</source>
        <translation>&amp;Zuletzt geöffnet</translation>
    </message>
    <message>
        <source>&amp;Join Files...</source>
        <translation>Dateien zusammen&amp;fügen...</translation>
    </message>
</context>
<context>
    <name>quorvel::ui::frmEditor</name>
    <message>
        <source>Exactly at each start</source>
        <translation>Genau an jedem Anfang</translation>
    </message>
    <message>
        <source>At the first safe frame from each start</source>
        <translation>Am ersten sicheren Frame ab jedem Anfang</translation>
    </message>
    <message>
        <source>Write the time as [h:]m:ss, with up to three decimals: %1.</source>
        <translation>Schreiben Sie die Zeit als [h:]m:ss, mit bis zu drei Nachkommastellen: %1.</translation>
    </message>
    <message>
        <source>A cut at %1 lies outside the source, which lasts %2.</source>
        <translation>Ein Schnitt bei %1 liegt außerhalb der Quelle, die %2 dauert.</translation>
    </message>
    <message>
        <source>There is a cut at %1 already.</source>
        <translation>Bei %1 gibt es bereits einen Schnitt.</translation>
    </message>
    <message>
        <source>Import Cue Sheet</source>
        <translation>Cue-Sheet importieren</translation>
    </message>
    <message>
        <source>Cue Sheets (*.cue)</source>
        <translation>Cue-Sheets (*.cue)</translation>
    </message>
    <message>
        <source>%1 has no chapters.</source>
        <translation>%1 hat keine Kapitel.</translation>
    </message>
    <message>
        <source>Cut every ([h:]m:ss[.fff]):</source>
        <translation>Schneiden alle ([h:]m:ss[.fff]):</translation>
    </message>
    <message>
        <source>Cutting every %1 leaves the source whole: give a time shorter than its length, %2.</source>
        <translation>Ein Schnitt alle %1 lässt die Quelle ganz: Geben Sie eine Zeit an, die kürzer als ihre Länge von %2 ist.</translation>
    </message>
    <message>
        <source>Cutting every %1 makes more than %2 parts.</source>
        <translation>Ein Schnitt alle %1 ergibt mehr als %2 Teile.</translation>
    </message>
    <message>
        <source>Number of parts:</source>
        <translation>Anzahl der Teile:</translation>
    </message>
    <message>
        <source>Give a number of parts from 2 to %1.</source>
        <translation>Geben Sie eine Anzahl von Teilen von 2 bis %1 an.</translation>
    </message>
    <message>
        <source>%1 to %2</source>
        <translation>%1 bis %2</translation>
    </message>
    <message>
        <source>Close</source>
        <translation>Schließen</translation>
    </message>
    <message>
        <source>S&amp;top</source>
        <translation>&amp;Anhalten</translation>
    </message>
    <message>
        <source>Source MP3 file</source>
        <translation>MP3-Quelldatei</translation>
    </message>
    <message>
        <source>Destination folder</source>
        <translation>Zielordner</translation>
    </message>
    <message>
        <source>Length</source>
        <translation>Länge</translation>
    </message>
    <message>
        <source>Cuts</source>
        <translation>Schnitte</translation>
    </message>
    <message>
        <source>Source MP3 file:</source>
        <translation>MP3-Quelldatei:</translation>
    </message>
    <message>
        <source>Destination folder:</source>
        <translation>Zielordner:</translation>
    </message>
    <message>
        <source>Length:</source>
        <translation>Länge:</translation>
    </message>
    <message>
        <source>Cuts:</source>
        <translation>Schnitte:</translation>
    </message>
    <message>
        <source>Parts</source>
        <translation>Teile</translation>
    </message>
    <message>
        <source>Start</source>
        <translation>Anfang</translation>
    </message>
    <message>
        <source>Title</source>
        <translation>Titel</translation>
    </message>
    <message>
        <source>Performer</source>
        <translation>Interpret</translation>
    </message>
    <message>
        <source>Time of the cut to add</source>
        <translation>Zeit des hinzuzufügenden Schnitts</translation>
    </message>
    <message>
        <source>Where a new part starts, as [h:]m:ss[.fff] (eg. 3:30)</source>
        <translation>Wo ein neuer Teil beginnt, als [h:]m:ss[.fff] (z. B. 3:30)</translation>
    </message>
    <message>
        <source>m:ss</source>
        <translation>m:ss</translation>
    </message>
    <message>
        <source>C&amp;ut at:</source>
        <translation>Schnitt be&amp;i:</translation>
    </message>
    <message>
        <source>&amp;Add</source>
        <translation>&amp;Hinzufügen</translation>
    </message>
    <message>
        <source>&amp;Remove</source>
        <translation>&amp;Entfernen</translation>
    </message>
    <message>
        <source>Remove the cut that starts the selected part</source>
        <translation>Den Schnitt entfernen, mit dem der gewählte Teil beginnt</translation>
    </message>
    <message>
        <source>Import &amp;Cue Sheet...</source>
        <translation>&amp;Cue-Sheet importieren...</translation>
    </message>
    <message>
        <source>Cut where the tracks of a cue sheet start</source>
        <translation>Dort schneiden, wo die Titel eines Cue-Sheets beginnen</translation>
    </message>
    <message>
        <source>Use the File&apos;s C&amp;hapters</source>
        <translation>&amp;Kapitel der Datei verwenden</translation>
    </message>
    <message>
        <source>Cut where the chapters of the source&apos;s tag start</source>
        <translation>Dort schneiden, wo die Kapitel im Tag der Quelle beginnen</translation>
    </message>
    <message>
        <source>Cut every so often from the start</source>
        <translation>Vom Anfang an in gleichen Abständen schneiden</translation>
    </message>
    <message>
        <source>E&amp;qual Parts...</source>
        <translation>&amp;Gleiche Teile...</translation>
    </message>
    <message>
        <source>Cut into a number of parts of equal length</source>
        <translation>In eine Anzahl gleich langer Teile schneiden</translation>
    </message>
    <message>
        <source>Names of the parts</source>
        <translation>Namen der Teile</translation>
    </message>
    <message>
        <source>&amp;Names:</source>
        <translation>&amp;Namen:</translation>
    </message>
    <message>
        <source>%n the part&apos;s number, %t its title, %b the source&apos;s name, %% a percent sign; empty: the source&apos;s name and the number</source>
        <translation>%n die Nummer des Teils, %t sein Titel, %b der Name der Quelle, %% ein Prozentzeichen; leer: der Name der Quelle und die Nummer</translation>
    </message>
    <message>
        <source>Progress</source>
        <translation>Fortschritt</translation>
    </message>
    <message>
        <source>How far the work under way has read or written</source>
        <translation>Wie weit die laufende Arbeit gelesen oder geschrieben hat</translation>
    </message>
    <message>
        <source>&amp;Split</source>
        <translation>&amp;Teilen</translation>
    </message>
    <message>
        <source>Completed: %1 parts written to %2.</source>
        <translation>Fertig: %1 Teile nach %2 geschrieben.</translation>
    </message>
    <message>
        <source>Result</source>
        <translation>Ergebnis</translation>
    </message>
    <message>
        <source>Messages</source>
        <translation>Meldungen</translation>
    </message>
    <message>
        <source>What the split or an edit does, step by step</source>
        <translation>Was die Teilung oder eine Bearbeitung tut, Schritt für Schritt</translation>
    </message>
    <message>
        <source>&amp;Messages:</source>
        <translation>&amp;Meldungen:</translation>
    </message>
    <message>
        <source>The frame rule cuts at %1.</source>
        <translation>Die Frame-Regel schneidet bei %1.</translation>
    </message>
    <message>
        <source>The exact mode cuts at %1.</source>
        <translation>Der genaue Modus schneidet bei %1.</translation>
    </message>
    <message>
        <source>the frame rule&apos;s cut</source>
        <translation>Schnitt nach der Frame-Regel</translation>
    </message>
    <message>
        <source>the exact cut</source>
        <translation>genauer Schnitt</translation>
    </message>
    <message>
        <source>Time %1.</source>
        <translation>Zeit %1.</translation>
    </message>
    <message>
        <source>Time %1, split at %2.</source>
        <translation>Zeit %1, geteilt bei %2.</translation>
    </message>
    <message>
        <source>silence</source>
        <translation>Stille</translation>
    </message>
    <message>
        <source>Play &amp;Before the Cut</source>
        <translation>&amp;Vor dem Schnitt abspielen</translation>
    </message>
    <message>
        <source>Play &amp;After the Cut</source>
        <translation>&amp;Nach dem Schnitt abspielen</translation>
    </message>
    <message>
        <source>Play Acr&amp;oss the Cut</source>
        <translation>&amp;Über den Schnitt abspielen</translation>
    </message>
    <message>
        <source>Waveform</source>
        <translation>Wellenform</translation>
    </message>
    <message>
        <source>Edit %1</source>
        <translation>%1 bearbeiten</translation>
    </message>
    <message>
        <source>Selected from %1 to %2, %3 long.</source>
        <translation>Ausgewählt von %1 bis %2, %3 lang.</translation>
    </message>
    <message>
        <source>Cue Sheet</source>
        <translation>Cue-Sheet</translation>
    </message>
    <message>
        <source>Chapters</source>
        <translation>Kapitel</translation>
    </message>
    <message>
        <source>Every %1</source>
        <translation>Alle %1</translation>
    </message>
    <message numerus="yes">
        <source>%n Equal Parts</source>
        <translation>
            <numerusform>%n gleicher Teil</numerusform>
            <numerusform>%n gleiche Teile</numerusform>
        </translation>
    </message>
    <message>
        <source>&amp;Undo %1</source>
        <translation>&amp;Rückgängig: %1</translation>
    </message>
    <message>
        <source>&amp;Undo</source>
        <translation>&amp;Rückgängig</translation>
    </message>
    <message>
        <source>&amp;Redo %1</source>
        <translation>&amp;Wiederherstellen: %1</translation>
    </message>
    <message>
        <source>&amp;Redo</source>
        <translation>&amp;Wiederherstellen</translation>
    </message>
    <message>
        <source>The source&apos;s waveform, the cursor, the selection and the cuts</source>
        <translation>Die Wellenform der Quelle, die Schreibmarke, die Auswahl und die Schnitte</translation>
    </message>
    <message>
        <source>the cursor</source>
        <translation>die Schreibmarke</translation>
    </message>
    <message>
        <source>the list&apos;s cuts</source>
        <translation>Schnitte der Liste</translation>
    </message>
    <message>
        <source>Click to set the cursor, drag or Shift+click to select. Left and Right move the cursor by a frame, Ctrl+Left and Ctrl+Right to the silence before or after. The wheel or + and - zoom; Shift+wheel or the bar scrolls.</source>
        <translation>Klicken setzt die Schreibmarke, Ziehen oder Umschalt+Klick wählt aus. Links und Rechts verschieben die Schreibmarke um einen Frame, Strg+Links und Strg+Rechts zur Stille davor oder danach. Mausrad oder + und - zoomen; Umschalt+Mausrad oder die Leiste rollt.</translation>
    </message>
    <message>
        <source>Ever&amp;y...</source>
        <translation>&amp;Regelmäßig...</translation>
    </message>
    <message>
        <source>&amp;Edit</source>
        <translation>&amp;Bearbeiten</translation>
    </message>
    <message>
        <source>&amp;Add a Cut at the Cursor</source>
        <translation>Schnitt an der Schreibmarke &amp;hinzufügen</translation>
    </message>
    <message>
        <source>&amp;Remove the Selected Cut</source>
        <translation>Gewählten Schnitt &amp;entfernen</translation>
    </message>
    <message>
        <source>&amp;Snap the Cursor to Silence</source>
        <translation>Schreibmarke auf Sti&amp;lle setzen</translation>
    </message>
    <message>
        <source>&amp;Play</source>
        <translation>&amp;Wiedergabe</translation>
    </message>
    <message>
        <source>Play the &amp;Selection</source>
        <translation>&amp;Auswahl abspielen</translation>
    </message>
    <message>
        <source>S&amp;top Playing</source>
        <translation>Wiedergabe an&amp;halten</translation>
    </message>
    <message>
        <source>&amp;View</source>
        <translation>An&amp;sicht</translation>
    </message>
    <message>
        <source>Zoom &amp;In</source>
        <translation>Ver&amp;größern</translation>
    </message>
    <message>
        <source>Zoom &amp;Out</source>
        <translation>Ver&amp;kleinern</translation>
    </message>
    <message>
        <source>Zoom to the &amp;Selection</source>
        <translation>Auf die &amp;Auswahl zoomen</translation>
    </message>
    <message>
        <source>&amp;Whole File</source>
        <translation>Ganze &amp;Datei</translation>
    </message>
    <message>
        <source>Trim Silence</source>
        <translation>Stille abschneiden</translation>
    </message>
    <message>
        <source>MPEG Audio Files (*.mp3)</source>
        <translation>MPEG-Audiodateien (*.mp3)</translation>
    </message>
    <message>
        <source>The audio edits are not saved. Close the editor and lose them?</source>
        <translation>Die Bearbeitungen des Tons sind nicht gespeichert. Den Editor schließen und sie verwerfen?</translation>
    </message>
    <message>
        <source>That is removed already: there is nothing more to remove.</source>
        <translation>Das ist schon entfernt: Es gibt nichts weiter zu entfernen.</translation>
    </message>
    <message>
        <source>That would remove all the audio: nothing would be left.</source>
        <translation>Das entfernte den ganzen Ton: Nichts bliebe übrig.</translation>
    </message>
    <message>
        <source>Save As</source>
        <translation>Speichern unter</translation>
    </message>
    <message>
        <source>%1 (edited)</source>
        <translation>%1 (bearbeitet)</translation>
    </message>
    <message>
        <source>%1, %2 once edited</source>
        <translation>%1, bearbeitet %2</translation>
    </message>
    <message>
        <source>&amp;File</source>
        <translation>&amp;Datei</translation>
    </message>
    <message>
        <source>Save &amp;As...</source>
        <translation>Speichern &amp;unter...</translation>
    </message>
    <message>
        <source>&amp;Close</source>
        <translation>&amp;Schließen</translation>
    </message>
    <message>
        <source>Cut &amp;Out the Selection</source>
        <translation>Auswahl heraus&amp;schneiden</translation>
    </message>
    <message>
        <source>&amp;Keep Only the Selection</source>
        <translation>Nur die Auswahl &amp;behalten</translation>
    </message>
    <message>
        <source>&amp;Trim Silence</source>
        <translation>Stille &amp;abschneiden</translation>
    </message>
    <message>
        <source>The split writes the parts of the file as it is, without the audio edits made here: save the edited file with File &gt; Save As, then split that file.</source>
        <translation>Die Teilung schreibt die Teile der Datei, wie sie ist, ohne die hier gemachten Bearbeitungen des Tons: Speichern Sie die bearbeitete Datei mit Datei &gt; Speichern unter und teilen Sie dann diese Datei.</translation>
    </message>
    <message>
        <source>&amp;Louder by 1.5 dB</source>
        <translation>Lau&amp;ter um 1,5 dB</translation>
    </message>
    <message>
        <source>&amp;Quieter by 1.5 dB</source>
        <translation>Le&amp;iser um 1,5 dB</translation>
    </message>
    <message>
        <source>Fade &amp;In the Selection</source>
        <translation>Auswahl ei&amp;nblenden</translation>
    </message>
    <message>
        <source>&amp;Fade Out the Selection</source>
        <translation>Auswahl ausblen&amp;den</translation>
    </message>
    <message>
        <source>&amp;Measure the Selection</source>
        <translation>Auswahl &amp;messen</translation>
    </message>
</context>
<context>
    <name>quorvel::ui::frmJoinFiles</name>
    <message>
        <source>Join Files</source>
        <translation>Dateien zusammenfügen</translation>
    </message>
    <message>
        <source>Files to join, in order</source>
        <translation>Zusammenzufügende Dateien, in ihrer Reihenfolge</translation>
    </message>
    <message>
        <source>&amp;Files, in the order they play:</source>
        <translation>&amp;Dateien, in der Reihenfolge ihrer Wiedergabe:</translation>
    </message>
    <message>
        <source>&amp;Add...</source>
        <translation>&amp;Hinzufügen...</translation>
    </message>
    <message>
        <source>&amp;Remove</source>
        <translation>&amp;Entfernen</translation>
    </message>
    <message>
        <source>Move &amp;Up</source>
        <translation>Nach &amp;oben</translation>
    </message>
    <message>
        <source>Move &amp;Down</source>
        <translation>Nach &amp;unten</translation>
    </message>
    <message>
        <source>One &amp;chapter for each file</source>
        <translation>Ein &amp;Kapitel für jede Datei</translation>
    </message>
    <message>
        <source>Each file&apos;s title tag names its chapter</source>
        <translation>Das Titel-Tag jeder Datei benennt ihr Kapitel</translation>
    </message>
    <message>
        <source>Output file</source>
        <translation>Ausgabedatei</translation>
    </message>
    <message>
        <source>&amp;Output file:</source>
        <translation>&amp;Ausgabedatei:</translation>
    </message>
    <message>
        <source>Bro&amp;wse...</source>
        <translation>Durch&amp;suchen...</translation>
    </message>
    <message>
        <source>Messages</source>
        <translation>Meldungen</translation>
    </message>
    <message>
        <source>What the join does, step by step</source>
        <translation>Was das Zusammenfügen tut, Schritt für Schritt</translation>
    </message>
    <message>
        <source>&amp;Messages:</source>
        <translation>&amp;Meldungen:</translation>
    </message>
    <message>
        <source>Result</source>
        <translation>Ergebnis</translation>
    </message>
    <message>
        <source>Progress</source>
        <translation>Fortschritt</translation>
    </message>
    <message>
        <source>&amp;Join</source>
        <translation>&amp;Zusammenfügen</translation>
    </message>
    <message>
        <source>Close</source>
        <translation>Schließen</translation>
    </message>
    <message>
        <source>S&amp;top</source>
        <translation>A&amp;nhalten</translation>
    </message>
    <message>
        <source>Add a File to Join</source>
        <translation>Datei zum Zusammenfügen hinzufügen</translation>
    </message>
    <message>
        <source>MPEG Audio Files (*.mp3)</source>
        <translation>MPEG-Audiodateien (*.mp3)</translation>
    </message>
    <message>
        <source>%1 (joined)</source>
        <translation>%1 (zusammengefügt)</translation>
    </message>
</context>
</TS>
