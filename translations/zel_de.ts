<?xml version="1.0" encoding="utf-8"?>
<!DOCTYPE TS>
<TS version="2.1" language="de_DE">
<context>
    <name>zel</name>
    <message>
        <source>The program folder %1 is in use by %2.

Zel closes now; start it again once the other program has ended.</source>
        <translation>Der Programmordner %1 wird von %2 benutzt.

Zel wird jetzt beendet; starten Sie es erneut, sobald das andere Programm beendet ist.</translation>
    </message>
    <message>
        <source>The program folder %1 cannot be locked: %2

Zel closes now.</source>
        <translation>Der Programmordner %1 kann nicht gesperrt werden: %2

Zel wird jetzt beendet.</translation>
    </message>
</context>
<context>
    <name>zel::AboutDialog</name>
    <message>
        <source>Version </source>
        <translation>Version </translation>
    </message>
    <message>
        <source>Program icon</source>
        <translation>Programmsymbol</translation>
    </message>
    <message>
        <source>Description</source>
        <translation>Beschreibung</translation>
    </message>
    <message>
        <source>Program folder:</source>
        <translation>Programmordner:</translation>
    </message>
    <message>
        <source>Settings file:</source>
        <translation>Einstellungsdatei:</translation>
    </message>
    <message>
        <source>Note</source>
        <translation>Hinweis</translation>
    </message>
    <message>
        <source>OK</source>
        <translation>OK</translation>
    </message>
</context>
<context>
    <name>zel::AmpSetupDialog</name>
    <message>
        <source>Setup Device</source>
        <translation>Gerät einrichten</translation>
    </message>
    <message>
        <source>Def. Threshold</source>
        <translation>Standardschwelle</translation>
    </message>
    <message>
        <source>Threshold #%1</source>
        <translation>Schwelle Nr. %1</translation>
    </message>
    <message>
        <source>Send</source>
        <translation>Senden</translation>
    </message>
    <message>
        <source>Send %1</source>
        <translation>%1 senden</translation>
    </message>
    <message>
        <source>BackGround</source>
        <translation>Hintergrund</translation>
    </message>
    <message>
        <source>Interval</source>
        <translation>Intervall</translation>
    </message>
    <message>
        <source>Sec.</source>
        <translation>Sek.</translation>
    </message>
    <message>
        <source>Serial Number</source>
        <translation>Seriennummer</translation>
    </message>
    <message>
        <source>Baud</source>
        <translation>Baud</translation>
    </message>
    <message>
        <source>Units</source>
        <translation>Einheiten</translation>
    </message>
    <message>
        <source>Dose</source>
        <translation>Dosis</translation>
    </message>
    <message>
        <source>Latch</source>
        <translation>Halten</translation>
    </message>
    <message>
        <source>Buzzer</source>
        <translation>Summer</translation>
    </message>
    <message>
        <source>Set Type</source>
        <translation>Typ einstellen</translation>
    </message>
    <message>
        <source>Status</source>
        <translation>Status</translation>
    </message>
    <message>
        <source>FirmWare Version:</source>
        <translation>Firmware-Version:</translation>
    </message>
    <message>
        <source>Get</source>
        <translation>Abrufen</translation>
    </message>
    <message>
        <source>Get Meter parameters</source>
        <translation>Messgeräteparameter abrufen</translation>
    </message>
    <message>
        <source>Done</source>
        <translation>Fertig</translation>
    </message>
    <message>
        <source>The meter takes thresholds from 0 to %1 %2.</source>
        <translation>Das Messgerät nimmt Schwellen von 0 bis %1 %2 an.</translation>
    </message>
    <message>
        <source>The meter takes a background from 0 to %1 %2.</source>
        <translation>Das Messgerät nimmt einen Hintergrund von 0 bis %1 %2 an.</translation>
    </message>
    <message>
        <source>The meter takes an interval from 0 to 9999 seconds.</source>
        <translation>Das Messgerät nimmt ein Intervall von 0 bis 9999 Sekunden an.</translation>
    </message>
    <message>
        <source>The meter takes a serial number from 0 to 999999.</source>
        <translation>Das Messgerät nimmt eine Seriennummer von 0 bis 999999 an.</translation>
    </message>
    <message>
        <source>The smallest value above 0 the meter takes is %1 %2.</source>
        <translation>Der kleinste Wert über 0, den das Messgerät annimmt, ist %1 %2.</translation>
    </message>
</context>
<context>
    <name>zel::AutoMeasurement</name>
    <message>
        <source>Automatic</source>
        <translation>Automatisch</translation>
    </message>
    <message>
        <source>The automatic measurement has stopped: its readings could not be saved in %1. They are still in the list and in ZelTemp.csv.

Do you want to save them in another file now?</source>
        <translation>Die automatische Messung wurde beendet: Ihre Messwerte konnten nicht in %1 gespeichert werden. Sie sind weiterhin in der Liste und in ZelTemp.csv.

Möchten Sie sie jetzt in einer anderen Datei speichern?</translation>
    </message>
    <message>
        <source>The list holds readings that are not saved. A measurement starts a new working file.

Do you want to save them first?</source>
        <translation>Die Liste enthält Messwerte, die nicht gespeichert sind. Eine Messung beginnt eine neue Arbeitsdatei.

Möchten Sie sie zuerst speichern?</translation>
    </message>
</context>
<context>
    <name>zel::CalibrationDialog</name>
    <message>
        <source>Calibration Info</source>
        <translation>Kalibrierdaten</translation>
    </message>
    <message>
        <source>Instrument  Number:</source>
        <translation>Gerätenummer:</translation>
    </message>
    <message>
        <source>Instrument Number</source>
        <translation>Gerätenummer</translation>
    </message>
    <message>
        <source>Calibration Due:</source>
        <translation>Kalibrierung fällig:</translation>
    </message>
    <message>
        <source>Calibration Due</source>
        <translation>Kalibrierung fällig</translation>
    </message>
    <message>
        <source>Calibrated by:</source>
        <translation>Kalibriert von:</translation>
    </message>
    <message>
        <source>Calibrated by</source>
        <translation>Kalibriert von</translation>
    </message>
    <message>
        <source>Factor:</source>
        <translation>Faktor:</translation>
    </message>
    <message>
        <source>Factor</source>
        <translation>Faktor</translation>
    </message>
    <message>
        <source>OK</source>
        <translation>OK</translation>
    </message>
</context>
<context>
    <name>zel::DataHandleDialog</name>
    <message>
        <source>Data Handle</source>
        <translation>Datenbehandlung</translation>
    </message>
    <message>
        <source>Scale</source>
        <translation>Skala</translation>
    </message>
    <message>
        <source>Auto</source>
        <translation>Automatisch</translation>
    </message>
    <message>
        <source>Manual</source>
        <translation>Manuell</translation>
    </message>
    <message>
        <source>OffLine</source>
        <translation>Offline</translation>
    </message>
    <message>
        <source>Online</source>
        <translation>Online</translation>
    </message>
</context>
<context>
    <name>zel::DebugWindow</name>
    <message>
        <source>Debug</source>
        <translation>Debug</translation>
    </message>
    <message>
        <source>Traffic log</source>
        <translation>Verkehrsprotokoll</translation>
    </message>
    <message>
        <source>Save</source>
        <translation>Speichern</translation>
    </message>
    <message>
        <source>Clear</source>
        <translation>Leeren</translation>
    </message>
    <message>
        <source>Show All</source>
        <translation>Alles anzeigen</translation>
    </message>
    <message>
        <source>Error Count</source>
        <translation>Fehlerzahl</translation>
    </message>
    <message>
        <source>Total Errors</source>
        <translation>Fehler gesamt</translation>
    </message>
    <message>
        <source>Error Count:</source>
        <translation>Fehlerzahl:</translation>
    </message>
    <message>
        <source>Total Errors:</source>
        <translation>Fehler gesamt:</translation>
    </message>
    <message>
        <source>Data saved in file ZelDbg.txt</source>
        <translation>Daten in Datei ZelDbg.txt gespeichert</translation>
    </message>
    <message>
        <source>The file ZelDbg.txt could not be written</source>
        <translation>Die Datei ZelDbg.txt konnte nicht geschrieben werden</translation>
    </message>
</context>
<context>
    <name>zel::IntervalDialog</name>
    <message>
        <source>Set Real time </source>
        <translation>Echtzeit einstellen </translation>
    </message>
    <message>
        <source>Minutes</source>
        <translation>Minuten</translation>
    </message>
    <message>
        <source>Seconds</source>
        <translation>Sekunden</translation>
    </message>
    <message>
        <source>Min</source>
        <translation>Min</translation>
    </message>
    <message>
        <source>100 mSec</source>
        <translation>100 mSec</translation>
    </message>
    <message>
        <source>Set 100 mSec interval</source>
        <translation>Intervall von 100 ms einstellen</translation>
    </message>
    <message>
        <source>OK</source>
        <translation>OK</translation>
    </message>
    <message>
        <source>&amp;Cancel</source>
        <translation>&amp;Abbrechen</translation>
    </message>
    <message>
        <source>Cancel</source>
        <translation>Abbrechen</translation>
    </message>
    <message>
        <source>Sec/10</source>
        <translation>Sek/10</translation>
    </message>
    <message>
        <source>Sec</source>
        <translation>Sek</translation>
    </message>
    <message>
        <source>The interval must be at least 0.1 seconds, with minutes from 0 to 1440 and seconds from 0 to 3600.</source>
        <translation>Das Intervall muss mindestens 0,1 Sekunden betragen, mit Minuten von 0 bis 1440 und Sekunden von 0 bis 3600.</translation>
    </message>
</context>
<context>
    <name>zel::LegendDialog</name>
    <message>
        <source>Legend</source>
        <translation>Legende</translation>
    </message>
    <message>
        <source>Department:</source>
        <translation>Abteilung:</translation>
    </message>
    <message>
        <source>Department</source>
        <translation>Abteilung</translation>
    </message>
    <message>
        <source>Date:</source>
        <translation>Datum:</translation>
    </message>
    <message>
        <source>Date</source>
        <translation>Datum</translation>
    </message>
    <message>
        <source>Instrument Type:</source>
        <translation>Gerätetyp:</translation>
    </message>
    <message>
        <source>Instrument Type</source>
        <translation>Gerätetyp</translation>
    </message>
    <message>
        <source>Survey location:</source>
        <translation>Messort:</translation>
    </message>
    <message>
        <source>Survey location</source>
        <translation>Messort</translation>
    </message>
    <message>
        <source>Surveyor:</source>
        <translation>Prüfer:</translation>
    </message>
    <message>
        <source>Surveyor</source>
        <translation>Prüfer</translation>
    </message>
    <message>
        <source>OK</source>
        <translation>OK</translation>
    </message>
    <message>
        <source>&amp;Cancel</source>
        <translation>&amp;Abbrechen</translation>
    </message>
    <message>
        <source>Cancel</source>
        <translation>Abbrechen</translation>
    </message>
</context>
<context>
    <name>zel::MainWindow</name>
    <message>
        <source>Value</source>
        <translation>Messwert</translation>
    </message>
    <message>
        <source>Latest reading; click to mute the alarm</source>
        <translation>Letzter Messwert; ein Klick schaltet den Alarm stumm</translation>
    </message>
    <message>
        <source>Dose</source>
        <translation>Dosis</translation>
    </message>
    <message>
        <source>Connection</source>
        <translation>Verbindung</translation>
    </message>
    <message>
        <source>Connection to the instrument</source>
        <translation>Verbindung zum Gerät</translation>
    </message>
    <message>
        <source>Status</source>
        <translation>Status</translation>
    </message>
    <message>
        <source>ID No.:</source>
        <translation>ID-Nr.:</translation>
    </message>
    <message>
        <source>Detector:</source>
        <translation>Detektor:</translation>
    </message>
    <message>
        <source>Status:</source>
        <translation>Status:</translation>
    </message>
    <message>
        <source>ID No.</source>
        <translation>ID-Nr.</translation>
    </message>
    <message>
        <source>Detector</source>
        <translation>Detektor</translation>
    </message>
    <message>
        <source>Readings:</source>
        <translation>Messwerte:</translation>
    </message>
    <message>
        <source>Readings</source>
        <translation>Messwerte</translation>
    </message>
    <message>
        <source>Activity</source>
        <translation>Aktivität</translation>
    </message>
    <message>
        <source>Automatic</source>
        <translation>Automatisch</translation>
    </message>
    <message>
        <source>Automatic measurement progress</source>
        <translation>Fortschritt der automatischen Messung</translation>
    </message>
    <message>
        <source>Instrument</source>
        <translation>Gerät</translation>
    </message>
    <message>
        <source>On Line</source>
        <translation>Online</translation>
    </message>
    <message>
        <source>Start</source>
        <translation>Start</translation>
    </message>
    <message>
        <source>Set &amp;Interval</source>
        <translation>&amp;Intervall</translation>
    </message>
    <message>
        <source>Send time interval to get data online</source>
        <translation>Zeitintervall für die Online-Erfassung senden</translation>
    </message>
    <message>
        <source>List</source>
        <translation>Liste</translation>
    </message>
    <message>
        <source>&amp;Clear </source>
        <translation>&amp;Löschen </translation>
    </message>
    <message>
        <source>Clear the list</source>
        <translation>Liste löschen</translation>
    </message>
    <message>
        <source>Settings</source>
        <translation>Einstellungen</translation>
    </message>
    <message>
        <source>Set &amp;Port</source>
        <translation>&amp;Schnittstelle</translation>
    </message>
    <message>
        <source>Set communication port</source>
        <translation>Schnittstelle einstellen</translation>
    </message>
    <message>
        <source>Send &amp;Time</source>
        <translation>&amp;Zeit senden</translation>
    </message>
    <message>
        <source>Download time to instrument</source>
        <translation>Uhrzeit zum Gerät übertragen</translation>
    </message>
    <message>
        <source>&amp;Save</source>
        <translation>&amp;Speichern</translation>
    </message>
    <message>
        <source>&amp;Exit</source>
        <translation>&amp;Beenden</translation>
    </message>
    <message>
        <source>Calibration</source>
        <translation>Kalibrierung</translation>
    </message>
    <message>
        <source>Mute Alarm</source>
        <translation>Alarm stumm</translation>
    </message>
    <message>
        <source>Get &amp;Legend</source>
        <translation>&amp;Legende</translation>
    </message>
    <message>
        <source>Stop</source>
        <translation>Stopp</translation>
    </message>
    <message>
        <source>Readings list</source>
        <translation>Liste der Messwerte</translation>
    </message>
    <message>
        <source>&amp;Data</source>
        <translation>&amp;Daten</translation>
    </message>
    <message>
        <source>&amp;Start Online</source>
        <translation>Online &amp;starten</translation>
    </message>
    <message>
        <source>&amp;Get Offline Data</source>
        <translation>Offline-Daten &amp;holen</translation>
    </message>
    <message>
        <source>Get &amp;Calibration data</source>
        <translation>&amp;Kalibrierdaten holen</translation>
    </message>
    <message>
        <source>&amp;Setting</source>
        <translation>&amp;Einstellungen</translation>
    </message>
    <message>
        <source>On Line &amp;Interval</source>
        <translation>Online-&amp;Intervall</translation>
    </message>
    <message>
        <source>Communication &amp;Port</source>
        <translation>&amp;Schnittstelle</translation>
    </message>
    <message>
        <source>P&amp;arameters</source>
        <translation>P&amp;arameter</translation>
    </message>
    <message>
        <source>Setup A&amp;mp</source>
        <translation>&amp;Verstärker einrichten</translation>
    </message>
    <message>
        <source>&amp;Utility</source>
        <translation>E&amp;xtras</translation>
    </message>
    <message>
        <source>&amp;Automatic</source>
        <translation>&amp;Automatisch</translation>
    </message>
    <message>
        <source>&amp;Graph</source>
        <translation>&amp;Grafik</translation>
    </message>
    <message>
        <source>T&amp;est</source>
        <translation>&amp;Test</translation>
    </message>
    <message>
        <source>&amp;Help</source>
        <translation>&amp;Hilfe</translation>
    </message>
    <message>
        <source>&amp;About</source>
        <translation>Ü&amp;ber</translation>
    </message>
    <message>
        <source>Start/Stop On line Collection</source>
        <translation>Online-Erfassung starten/stoppen</translation>
    </message>
    <message>
        <source>Get Offline data from instrument</source>
        <translation>Offline-Daten vom Gerät holen</translation>
    </message>
    <message>
        <source>Display Graph</source>
        <translation>Grafik anzeigen</translation>
    </message>
    <message>
        <source>Clear List</source>
        <translation>Liste löschen</translation>
    </message>
    <message>
        <source>Stop Online</source>
        <translation>Online stoppen</translation>
    </message>
    <message>
        <source>Start Online</source>
        <translation>Online starten</translation>
    </message>
    <message>
        <source>Save the readings to a file</source>
        <translation>Die Messwerte in eine Datei speichern</translation>
    </message>
    <message>
        <source>The page heading could not be saved: %1</source>
        <translation>Die Seitenüberschrift konnte nicht gespeichert werden: %1</translation>
    </message>
    <message>
        <source>Save</source>
        <translation>Speichern</translation>
    </message>
    <message>
        <source>Csv Files (*.csv);;All Files (*)</source>
        <translation>CSV-Dateien (*.csv);;Alle Dateien (*)</translation>
    </message>
</context>
<context>
    <name>zel::ParametersDialog</name>
    <message>
        <source>Set Parameters</source>
        <translation>Parameter einstellen</translation>
    </message>
    <message>
        <source>Threshold 1:</source>
        <translation>Schwelle 1:</translation>
    </message>
    <message>
        <source>Threshold 2:</source>
        <translation>Schwelle 2:</translation>
    </message>
    <message>
        <source>Lost Contact Interval:</source>
        <translation>Intervall Kontaktverlust:</translation>
    </message>
    <message>
        <source>Sec.</source>
        <translation>Sek.</translation>
    </message>
    <message>
        <source>Time Format</source>
        <translation>Zeitformat</translation>
    </message>
    <message>
        <source>Time</source>
        <translation>Zeit</translation>
    </message>
    <message>
        <source>Mili Sec.</source>
        <translation>Millisek.</translation>
    </message>
    <message>
        <source>Audio Alarm</source>
        <translation>Akustischer Alarm</translation>
    </message>
    <message>
        <source>Auto Arrange forms</source>
        <translation>Fenster automatisch anordnen</translation>
    </message>
    <message>
        <source>%1: give a number of 0 or more.</source>
        <translation>%1: Geben Sie eine Zahl von 0 oder mehr ein.</translation>
    </message>
    <message>
        <source>Threshold 2 must not be below Threshold 1.</source>
        <translation>Schwelle 2 darf nicht unter Schwelle 1 liegen.</translation>
    </message>
    <message>
        <source>%1: give a whole number from %2 to %3.</source>
        <translation>%1: Geben Sie eine ganze Zahl von %2 bis %3 ein.</translation>
    </message>
    <message>
        <source>Thresholds are in mR/h, uSv/h, cpm or cps. A reading shown in R/h, mSv/h or Kcpm is compared after conversion: 2 R/h counts as 2000 mR/h. An amplifier&apos;s readings are compared in the unit chosen in Setup Device.</source>
        <translation>Die Schwellen gelten in mR/h, uSv/h, cpm oder cps. Ein Messwert in R/h, mSv/h oder Kcpm wird nach Umrechnung verglichen: 2 R/h zählen als 2000 mR/h. Die Messwerte eines Verstärkers werden in der unter „Gerät einrichten“ gewählten Einheit verglichen.</translation>
    </message>
</context>
<context>
    <name>zel::PortDialog</name>
    <message>
        <source>Set Port</source>
        <translation>Port einstellen</translation>
    </message>
    <message>
        <source>Communication Port</source>
        <translation>Kommunikationsschnittstelle</translation>
    </message>
    <message>
        <source>Baud Rate</source>
        <translation>Baudrate</translation>
    </message>
    <message>
        <source>OK</source>
        <translation>OK</translation>
    </message>
    <message>
        <source>&amp;Cancel</source>
        <translation>&amp;Abbrechen</translation>
    </message>
    <message>
        <source>Cancel</source>
        <translation>Abbrechen</translation>
    </message>
    <message>
        <source>Error in Communication</source>
        <translation>Kommunikationsfehler</translation>
    </message>
    <message>
        <source>Error in opening Communication port</source>
        <translation>Fehler beim Öffnen der Kommunikationsschnittstelle</translation>
    </message>
    <message>
        <source>The port is open, but the setting could not be saved in dax.ini.</source>
        <translation>Die Schnittstelle ist geöffnet, aber die Einstellung konnte nicht in dax.ini gespeichert werden.</translation>
    </message>
    <message>
        <source>Serial devices</source>
        <translation>Serielle Geräte</translation>
    </message>
    <message>
        <source>Device choice</source>
        <translation>Geräteauswahl</translation>
    </message>
    <message>
        <source>S/N %1</source>
        <translation>Seriennr. %1</translation>
    </message>
    <message>
        <source>You may not open it: add your user to the &quot;dialout&quot; group (sudo adduser $USER dialout) and log in again.</source>
        <translation>Sie dürfen es nicht öffnen: Fügen Sie Ihren Benutzer der Gruppe &quot;dialout&quot; hinzu (sudo adduser $USER dialout) und melden Sie sich neu an.</translation>
    </message>
    <message>
        <source>No serial devices found</source>
        <translation>Keine seriellen Geräte gefunden</translation>
    </message>
    <message>
        <source>Com%1 will use %2</source>
        <translation>Com%1 verwendet %2</translation>
    </message>
    <message>
        <source>Pick a device to use it for the chosen Com port.</source>
        <translation>Wählen Sie ein Gerät für den gewählten Com-Port.</translation>
    </message>
</context>
<context>
    <name>zel::ProbeNumberDialog</name>
    <message>
        <source>Automatic</source>
        <translation>Automatisch</translation>
    </message>
    <message>
        <source>Probe Number</source>
        <translation>Bitte Chargennummer eingeben
</translation>
    </message>
    <message>
        <source>Background Measurment</source>
        <translation>Hintergrundmessung</translation>
    </message>
    <message>
        <source>Detector Inserted? </source>
        <translation>Probe eingelegt? </translation>
    </message>
    <message>
        <source>OK</source>
        <translation>OK</translation>
    </message>
    <message>
        <source>Cancel</source>
        <translation>Abbrechen</translation>
    </message>
</context>
<context>
    <name>zel::StringTable</name>
    <message>
        <source>OK</source>
        <translation>OK</translation>
    </message>
    <message>
        <source>Cancel</source>
        <translation>Abbrechen</translation>
    </message>
    <message>
        <source>Exit</source>
        <translation>Beenden</translation>
    </message>
    <message>
        <source>Edit</source>
        <translation>Bearbeiten</translation>
    </message>
    <message>
        <source>List</source>
        <translation>Liste</translation>
    </message>
    <message>
        <source>Auto</source>
        <translation>Automatisch</translation>
    </message>
    <message>
        <source>Parameters</source>
        <translation>Parameter</translation>
    </message>
    <message>
        <source>OnLine</source>
        <translation>Online</translation>
    </message>
    <message>
        <source>Offline</source>
        <translation>Offline</translation>
    </message>
    <message>
        <source>Graph for point :</source>
        <translation>Grafik für Messpunkt :</translation>
    </message>
    <message>
        <source>All Data</source>
        <translation>Alle Daten</translation>
    </message>
    <message>
        <source>Mark</source>
        <translation>Markieren</translation>
    </message>
    <message>
        <source>Export</source>
        <translation>Exportieren</translation>
    </message>
    <message>
        <source>New Peak</source>
        <translation>Neue Spitze</translation>
    </message>
    <message>
        <source>Print</source>
        <translation>Drucken</translation>
    </message>
    <message>
        <source>Maximum</source>
        <translation>Maximum</translation>
    </message>
    <message>
        <source>Average</source>
        <translation>Mittelwert</translation>
    </message>
    <message>
        <source>Average To Csv</source>
        <translation>Mittelwerte nach CSV</translation>
    </message>
    <message>
        <source>All To Csv</source>
        <translation>Alles nach CSV</translation>
    </message>
    <message>
        <source>Save Set Graph</source>
        <translation>Grafiksatz speichern</translation>
    </message>
    <message>
        <source>Probe Number</source>
        <translation>Bitte Chargennummer eingeben
</translation>
    </message>
    <message>
        <source>Background Measurment</source>
        <translation>Hintergrundmessung</translation>
    </message>
    <message>
        <source>Detector Inserted? </source>
        <translation>Probe eingelegt? </translation>
    </message>
    <message>
        <source>Background Time : </source>
        <translation>Hintergrundzeit : </translation>
    </message>
    <message>
        <source>Measuring Time : </source>
        <translation>Messzeit : </translation>
    </message>
</context>
<context>
    <name>zel::UpDownControl</name>
    <message>
        <source>Change value</source>
        <translation>Wert ändern</translation>
    </message>
    <message>
        <source>Increase</source>
        <translation>Erhöhen</translation>
    </message>
    <message>
        <source>Decrease</source>
        <translation>Verringern</translation>
    </message>
</context>
<context>
    <name>zel::WaitDialog</name>
    <message>
        <source>Please wait</source>
        <translation>Bitte warten</translation>
    </message>
    <message>
        <source>Progress</source>
        <translation>Fortschritt</translation>
    </message>
    <message>
        <source>Stop</source>
        <translation>Stopp</translation>
    </message>
</context>
<context>
    <name>zel::graph::DataListModel</name>
    <message>
        <source>Time</source>
        <translation>Zeit</translation>
    </message>
</context>
<context>
    <name>zel::graph::DataListWindow</name>
    <message>
        <source> Data Graph</source>
        <translation> Datenliste</translation>
    </message>
    <message>
        <source>Data list</source>
        <translation>Datenliste</translation>
    </message>
</context>
<context>
    <name>zel::graph::DistributionPlotWidget</name>
    <message>
        <source>Readings</source>
        <translation>Messwerte</translation>
    </message>
    <message>
        <source>Normal</source>
        <translation>Normalverteilung</translation>
    </message>
    <message>
        <source>Poisson</source>
        <translation>Poisson</translation>
    </message>
</context>
<context>
    <name>zel::graph::DistributionWindow</name>
    <message>
        <source>Distribution</source>
        <translation>Verteilung</translation>
    </message>
    <message>
        <source>Save distribution…</source>
        <translation>Verteilung speichern…</translation>
    </message>
    <message>
        <source>Print</source>
        <translation>Drucken</translation>
    </message>
    <message>
        <source>Print to PDF…</source>
        <translation>Als PDF drucken…</translation>
    </message>
    <message>
        <source>Bins:</source>
        <translation>Klassen:</translation>
    </message>
    <message>
        <source>Freedman–Diaconis</source>
        <translation>Freedman–Diaconis</translation>
    </message>
    <message>
        <source>Sturges</source>
        <translation>Sturges</translation>
    </message>
    <message>
        <source>Width typed</source>
        <translation>Eingegebene Breite</translation>
    </message>
    <message>
        <source>Bin width</source>
        <translation>Klassenbreite</translation>
    </message>
    <message>
        <source>Histogram</source>
        <translation>Histogramm</translation>
    </message>
    <message>
        <source>Readings</source>
        <translation>Messwerte</translation>
    </message>
    <message>
        <source>Mean</source>
        <translation>Mittelwert</translation>
    </message>
    <message>
        <source>Median</source>
        <translation>Median</translation>
    </message>
    <message>
        <source>Standard deviation</source>
        <translation>Standardabweichung</translation>
    </message>
    <message>
        <source>Standard error of the mean</source>
        <translation>Standardfehler des Mittelwerts</translation>
    </message>
    <message>
        <source>Minimum</source>
        <translation>Minimum</translation>
    </message>
    <message>
        <source>Maximum</source>
        <translation>Maximum</translation>
    </message>
    <message>
        <source>5th percentile</source>
        <translation>5. Perzentil</translation>
    </message>
    <message>
        <source>95th percentile</source>
        <translation>95. Perzentil</translation>
    </message>
    <message>
        <source>Count time per reading</source>
        <translation>Zählzeit je Messwert</translation>
    </message>
    <message>
        <source>Mean counts per reading</source>
        <translation>Mittlere Zählimpulse je Messwert</translation>
    </message>
    <message>
        <source>Dispersion index (variance/mean)</source>
        <translation>Dispersionsindex (Varianz/Mittelwert)</translation>
    </message>
    <message>
        <source>Chi-square</source>
        <translation>Chi-Quadrat</translation>
    </message>
    <message>
        <source>Degrees of freedom</source>
        <translation>Freiheitsgrade</translation>
    </message>
    <message>
        <source>Probability</source>
        <translation>Wahrscheinlichkeit</translation>
    </message>
    <message>
        <source>Distribution of %1</source>
        <translation>Verteilung von %1</translation>
    </message>
    <message>
        <source>No readings in the window on screen.</source>
        <translation>Keine Messwerte im angezeigten Zeitfenster.</translation>
    </message>
    <message>
        <source>From %1 to %2</source>
        <translation>Von %1 bis %2</translation>
    </message>
    <message>
        <source>%1 s</source>
        <translation>%1 s</translation>
    </message>
    <message>
        <source>scatter as expected</source>
        <translation>Streuung wie erwartet</translation>
    </message>
    <message>
        <source>too little scatter</source>
        <translation>zu wenig Streuung</translation>
    </message>
    <message>
        <source>too much scatter</source>
        <translation>zu viel Streuung</translation>
    </message>
    <message>
        <source>Counting check: %1</source>
        <translation>Zählstatistik-Prüfung: %1</translation>
    </message>
    <message>
        <source>Counts are the rates times %1 s, the interval of the readings.</source>
        <translation>Zählimpulse sind die Raten mal %1 s, dem Messintervall.</translation>
    </message>
    <message>
        <source>Counts are the rates per minute times %1 s / 60 s, the interval of the readings.</source>
        <translation>Zählimpulse sind die Raten pro Minute mal %1 s / 60 s, dem Messintervall.</translation>
    </message>
    <message>
        <source>No counting check: readings in %1 are not counts (only cps, cpm and counts are).</source>
        <translation>Keine Zählstatistik-Prüfung: Messwerte in %1 sind keine Zählimpulse (nur cps, cpm und counts sind es).</translation>
    </message>
    <message>
        <source>No counting check: the interval of the readings is not known.</source>
        <translation>Keine Zählstatistik-Prüfung: das Messintervall ist nicht bekannt.</translation>
    </message>
    <message>
        <source>No counting check: it needs at least two readings.</source>
        <translation>Keine Zählstatistik-Prüfung: sie braucht mindestens zwei Messwerte.</translation>
    </message>
    <message>
        <source>No counting check: there were no counts.</source>
        <translation>Keine Zählstatistik-Prüfung: es gab keine Zählimpulse.</translation>
    </message>
    <message>
        <source>1 reading left out</source>
        <translation>1 Messwert ausgelassen</translation>
    </message>
    <message>
        <source>%1 readings left out</source>
        <translation>%1 Messwerte ausgelassen</translation>
    </message>
    <message>
        <source>Histogram of %1 readings in %2 bins</source>
        <translation>Histogramm von %1 Messwerten in %2 Klassen</translation>
    </message>
    <message>
        <source>Csv Files (*.csv);;All Files (*)</source>
        <translation>CSV-Dateien (*.csv);;Alle Dateien (*)</translation>
    </message>
    <message>
        <source>The distribution could not be saved.</source>
        <translation>Die Verteilung konnte nicht gespeichert werden.</translation>
    </message>
    <message>
        <source>Data saved in file : </source>
        <translation>Daten gespeichert in Datei : </translation>
    </message>
    <message>
        <source>The distribution could not be printed.</source>
        <translation>Die Verteilung konnte nicht gedruckt werden.</translation>
    </message>
    <message>
        <source>Distribution printed</source>
        <translation>Verteilung gedruckt</translation>
    </message>
    <message>
        <source>PDF Files (*.pdf);;All Files (*)</source>
        <translation>PDF-Dateien (*.pdf);;Alle Dateien (*)</translation>
    </message>
    <message>
        <source>Distribution saved in file : </source>
        <translation>Verteilung gespeichert in Datei : </translation>
    </message>
    <message>
        <source>The distribution could not be computed: %1</source>
        <translation>Die Verteilung konnte nicht berechnet werden: %1</translation>
    </message>
    <message>
        <source>%1 s to %2 s</source>
        <translation>%1 s bis %2 s</translation>
    </message>
    <message>
        <source>Each reading counted for its own count time, the time since the reading before.</source>
        <translation>Jede Messung zählte über ihre eigene Zählzeit, die Zeit seit der Messung davor.</translation>
    </message>
    <message>
        <source>The range is too long to load its single readings; zoom in for their distribution.</source>
        <translation>Der Zeitraum ist zu lang, um seine einzelnen Messwerte zu laden; vergrößern Sie für ihre Verteilung.</translation>
    </message>
</context>
<context>
    <name>zel::graph::GraphWindow</name>
    <message>
        <source>Graph for point: </source>
        <translation>Grafik für Messpunkt: </translation>
    </message>
    <message>
        <source>Manual</source>
        <translation>Manuell</translation>
    </message>
    <message>
        <source>Specific</source>
        <translation>Spezifisch</translation>
    </message>
    <message>
        <source>Show series %1</source>
        <translation>Reihe %1 anzeigen</translation>
    </message>
    <message>
        <source>Time of the selected point</source>
        <translation>Zeit des gewählten Punkts</translation>
    </message>
    <message>
        <source>Top of scale</source>
        <translation>Skalenende</translation>
    </message>
    <message>
        <source>Top of scale; double-click to use it</source>
        <translation>Skalenende; Doppelklick verwendet es</translation>
    </message>
    <message>
        <source>Manual top of scale</source>
        <translation>Manuelles Skalenende</translation>
    </message>
    <message>
        <source>Graph</source>
        <translation>Grafik</translation>
    </message>
    <message>
        <source>Refresh</source>
        <translation>Aktualisieren</translation>
    </message>
    <message>
        <source>Max</source>
        <translation>Max</translation>
    </message>
    <message>
        <source>All</source>
        <translation>Alle</translation>
    </message>
    <message>
        <source>Done</source>
        <translation>Fertig</translation>
    </message>
    <message>
        <source>Ave</source>
        <translation>Mittel</translation>
    </message>
    <message>
        <source>Auto</source>
        <translation>Automatisch</translation>
    </message>
    <message>
        <source>Readings: %1   Mean: %2   Minimum: %3   Maximum: %4   Standard deviation: %5</source>
        <translation>Messwerte: %1   Mittelwert: %2   Minimum: %3   Maximum: %4   Standardabweichung: %5</translation>
    </message>
    <message>
        <source>Print to PDF…</source>
        <translation>Als PDF drucken…</translation>
    </message>
    <message>
        <source>Converting to Csv:</source>
        <translation>Umwandlung nach CSV:</translation>
    </message>
    <message>
        <source>Csv Files (*.csv);;All Files (*)</source>
        <translation>CSV-Dateien (*.csv);;Alle Dateien (*)</translation>
    </message>
    <message>
        <source>The data could not be saved.</source>
        <translation>Die Daten konnten nicht gespeichert werden.</translation>
    </message>
    <message>
        <source>Data saved in file : </source>
        <translation>Daten gespeichert in Datei : </translation>
    </message>
    <message>
        <source>Grp Files (*.Grp *.grp);;All Files (*)</source>
        <translation>Grp-Dateien (*.Grp *.grp);;Alle Dateien (*)</translation>
    </message>
    <message>
        <source>The graph set could not be saved.</source>
        <translation>Der Grafiksatz konnte nicht gespeichert werden.</translation>
    </message>
    <message>
        <source>Filling the list</source>
        <translation>Liste wird gefüllt</translation>
    </message>
    <message>
        <source>The graph could not be printed.</source>
        <translation>Die Grafik konnte nicht gedruckt werden.</translation>
    </message>
    <message>
        <source>Graph Printed</source>
        <translation>Grafik gedruckt</translation>
    </message>
    <message>
        <source>the page could not be drawn</source>
        <translation>die Seite konnte nicht gezeichnet werden</translation>
    </message>
    <message>
        <source>PDF Files (*.pdf);;All Files (*)</source>
        <translation>PDF-Dateien (*.pdf);;Alle Dateien (*)</translation>
    </message>
    <message>
        <source>Graph saved in file : </source>
        <translation>Grafik gespeichert in Datei : </translation>
    </message>
    <message>
        <source>%1 holds the station&apos;s readings and cannot be overwritten. Choose another name.</source>
        <translation>%1 enthält die Messwerte der Station und kann nicht überschrieben werden. Wählen Sie einen anderen Namen.</translation>
    </message>
    <message>
        <source>Page Heading…</source>
        <translation>Seitenüberschrift…</translation>
    </message>
    <message>
        <source>Page Heading</source>
        <translation>Seitenüberschrift</translation>
    </message>
    <message>
        <source>Graph of %1 in %2 from %3 to %4</source>
        <translation>Grafik von %1 in %2 von %3 bis %4</translation>
    </message>
    <message>
        <source>Heading of the printed page:</source>
        <translation>Überschrift der gedruckten Seite:</translation>
    </message>
    <message>
        <source>Distribution</source>
        <translation>Verteilung</translation>
    </message>
    <message>
        <source>Exit</source>
        <translation>Beenden</translation>
    </message>
    <message>
        <source>Parameters</source>
        <translation>Parameter</translation>
    </message>
    <message>
        <source>Mark</source>
        <translation>Markieren</translation>
    </message>
    <message>
        <source>Maximum</source>
        <translation>Maximum</translation>
    </message>
    <message>
        <source>Average</source>
        <translation>Mittelwert</translation>
    </message>
    <message>
        <source>All Data</source>
        <translation>Alle Daten</translation>
    </message>
    <message>
        <source>List</source>
        <translation>Liste</translation>
    </message>
    <message>
        <source>OnLine</source>
        <translation>Online</translation>
    </message>
    <message>
        <source>Export</source>
        <translation>Exportieren</translation>
    </message>
    <message>
        <source>Average To Csv</source>
        <translation>Mittelwerte nach CSV</translation>
    </message>
    <message>
        <source>All To Csv</source>
        <translation>Alles nach CSV</translation>
    </message>
    <message>
        <source>Save Set Graph</source>
        <translation>Grafiksatz speichern</translation>
    </message>
    <message>
        <source>Print</source>
        <translation>Drucken</translation>
    </message>
    <message>
        <source>Edit</source>
        <translation>Bearbeiten</translation>
    </message>
    <message>
        <source>Offline</source>
        <translation>Offline</translation>
    </message>
    <message>
        <source>The export was cancelled; %1 was not written.</source>
        <translation>Der Export wurde abgebrochen; %1 wurde nicht geschrieben.</translation>
    </message>
    <message>
        <source>newest %1 of %2</source>
        <translation>neueste %1 von %2</translation>
    </message>
    <message>
        <source>Left and Right move the read-out, by 10 points with Shift, Ctrl or Alt. To zoom, press Space at one end, move the read-out to the other end and press Return; Escape drops the mark.</source>
        <translation>Links und Rechts bewegen die Anzeige, mit Umschalt, Strg oder Alt um 10 Punkte. Zum Zoomen an einem Ende Leertaste drücken, die Anzeige zum anderen Ende bewegen und Eingabe drücken; Escape verwirft die Markierung.</translation>
    </message>
    <message>
        <source>Zoom marked from %1</source>
        <translation>Zoom markiert ab %1</translation>
    </message>
    <message>
        <source>History…</source>
        <translation>Verlauf…</translation>
    </message>
    <message>
        <source>Another export is being written.</source>
        <translation>Ein anderer Export wird gerade geschrieben.</translation>
    </message>
    <message>
        <source>An export is being written.</source>
        <translation>Ein Export wird gerade geschrieben.</translation>
    </message>
    <message>
        <source>The list is not open.</source>
        <translation>Die Liste ist nicht geöffnet.</translation>
    </message>
    <message>
        <source>The archive holds no readings in this range.</source>
        <translation>Das Archiv enthält keine Messwerte in diesem Zeitraum.</translation>
    </message>
    <message>
        <source>Too few readings in this range to draw.</source>
        <translation>Zu wenige Messwerte in diesem Zeitraum zum Zeichnen.</translation>
    </message>
    <message>
        <source>Readings: %1   Mean: %2   Minimum: %3   Maximum: %4</source>
        <translation>Messwerte: %1   Mittelwert: %2   Minimum: %3   Maximum: %4</translation>
    </message>
</context>
<context>
    <name>zel::graph::HistoryDialog</name>
    <message>
        <source>The range must begin before it ends.</source>
        <translation>Der Zeitraum muss beginnen, bevor er endet.</translation>
    </message>
    <message>
        <source>History</source>
        <translation>Verlauf</translation>
    </message>
    <message>
        <source>&amp;From:</source>
        <translation>&amp;Von:</translation>
    </message>
    <message>
        <source>&amp;To:</source>
        <translation>&amp;Bis:</translation>
    </message>
    <message>
        <source>Last &amp;day</source>
        <translation>Letzter &amp;Tag</translation>
    </message>
    <message>
        <source>Last &amp;week</source>
        <translation>Letzte &amp;Woche</translation>
    </message>
    <message>
        <source>Last &amp;month</source>
        <translation>Letzter &amp;Monat</translation>
    </message>
    <message>
        <source>Last &amp;year</source>
        <translation>Letztes &amp;Jahr</translation>
    </message>
    <message>
        <source>&amp;All</source>
        <translation>&amp;Alles</translation>
    </message>
</context>
</TS>
