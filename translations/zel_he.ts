<?xml version="1.0" encoding="utf-8"?>
<!DOCTYPE TS>
<TS version="2.1" language="he_IL">
<context>
    <name>zel</name>
    <message>
        <source>The program folder %1 is in use by %2.

Zel closes now; start it again once the other program has ended.</source>
        <translation>תיקיית התוכנית %1 נמצאת בשימוש של %2.

Zel נסגרת כעת; הפעילו אותה שוב לאחר שהתוכנית האחרת הסתיימה.</translation>
    </message>
    <message>
        <source>The program folder %1 cannot be locked: %2

Zel closes now.</source>
        <translation>לא ניתן לנעול את תיקיית התוכנית %1: %2

Zel נסגרת כעת.</translation>
    </message>
</context>
<context>
    <name>zel::AboutDialog</name>
    <message>
        <source>Version </source>
        <translation>גרסה </translation>
    </message>
    <message>
        <source>Program icon</source>
        <translation>סמל התוכנית</translation>
    </message>
    <message>
        <source>Description</source>
        <translation>תיאור</translation>
    </message>
    <message>
        <source>Program folder:</source>
        <translation>תיקיית התוכנית:</translation>
    </message>
    <message>
        <source>Settings file:</source>
        <translation>קובץ ההגדרות:</translation>
    </message>
    <message>
        <source>Note</source>
        <translation>הערה</translation>
    </message>
    <message>
        <source>OK</source>
        <translation>אישור</translation>
    </message>
</context>
<context>
    <name>zel::AmpSetupDialog</name>
    <message>
        <source>Setup Device</source>
        <translation>הגדרת מכשיר</translation>
    </message>
    <message>
        <source>Def. Threshold</source>
        <translation>סף ברירת מחדל</translation>
    </message>
    <message>
        <source>Threshold #%1</source>
        <translation>סף מס&apos; %1</translation>
    </message>
    <message>
        <source>Send</source>
        <translation>שלח</translation>
    </message>
    <message>
        <source>Send %1</source>
        <translation>שלח %1</translation>
    </message>
    <message>
        <source>BackGround</source>
        <translation>רקע</translation>
    </message>
    <message>
        <source>Interval</source>
        <translation>מרווח</translation>
    </message>
    <message>
        <source>Sec.</source>
        <translation>שנ&apos;</translation>
    </message>
    <message>
        <source>Serial Number</source>
        <translation>מספר סידורי</translation>
    </message>
    <message>
        <source>Baud</source>
        <translation>באוד</translation>
    </message>
    <message>
        <source>Units</source>
        <translation>יחידות</translation>
    </message>
    <message>
        <source>Dose</source>
        <translation>מינון</translation>
    </message>
    <message>
        <source>Latch</source>
        <translation>נעילה</translation>
    </message>
    <message>
        <source>Buzzer</source>
        <translation>זמזם</translation>
    </message>
    <message>
        <source>Set Type</source>
        <translation>קבע סוג</translation>
    </message>
    <message>
        <source>Status</source>
        <translation>מצב</translation>
    </message>
    <message>
        <source>FirmWare Version:</source>
        <translation>גרסת קושחה:</translation>
    </message>
    <message>
        <source>Get</source>
        <translation>קבל</translation>
    </message>
    <message>
        <source>Get Meter parameters</source>
        <translation>קבל את הפרמטרים של המד</translation>
    </message>
    <message>
        <source>Done</source>
        <translation>סיום</translation>
    </message>
    <message>
        <source>The meter takes thresholds from 0 to %1 %2.</source>
        <translation>המד מקבל ספים מ-0 עד ⁦%1 %2⁩.</translation>
    </message>
    <message>
        <source>The meter takes a background from 0 to %1 %2.</source>
        <translation>המד מקבל רקע מ-0 עד ⁦%1 %2⁩.</translation>
    </message>
    <message>
        <source>The meter takes an interval from 0 to 9999 seconds.</source>
        <translation>המד מקבל מרווח של 0 עד 9999 שניות.</translation>
    </message>
    <message>
        <source>The meter takes a serial number from 0 to 999999.</source>
        <translation>המד מקבל מספר סידורי מ-0 עד 999999.</translation>
    </message>
    <message>
        <source>The smallest value above 0 the meter takes is %1 %2.</source>
        <translation>הערך הקטן ביותר מעל 0 שהמד מקבל הוא ⁦%1 %2⁩.</translation>
    </message>
</context>
<context>
    <name>zel::AutoMeasurement</name>
    <message>
        <source>Automatic</source>
        <translation>אוטומטי</translation>
    </message>
    <message>
        <source>The automatic measurement has stopped: its readings could not be saved in %1. They are still in the list and in ZelTemp.csv.

Do you want to save them in another file now?</source>
        <translation>המדידה האוטומטית הופסקה: לא ניתן היה לשמור את הקריאות שלה ב-%1. הן עדיין ברשימה וב-⁦ZelTemp.csv⁩.

האם לשמור אותן כעת בקובץ אחר?</translation>
    </message>
    <message>
        <source>The list holds readings that are not saved. A measurement starts a new working file.

Do you want to save them first?</source>
        <translation>הרשימה מכילה קריאות שלא נשמרו. מדידה מתחילה קובץ עבודה חדש.

האם לשמור אותן קודם?</translation>
    </message>
</context>
<context>
    <name>zel::CalibrationDialog</name>
    <message>
        <source>Calibration Info</source>
        <translation>נתוני כיול</translation>
    </message>
    <message>
        <source>Instrument  Number:</source>
        <translation>מספר מכשיר:</translation>
    </message>
    <message>
        <source>Instrument Number</source>
        <translation>מספר מכשיר</translation>
    </message>
    <message>
        <source>Calibration Due:</source>
        <translation>מועד הכיול הבא:</translation>
    </message>
    <message>
        <source>Calibration Due</source>
        <translation>מועד הכיול הבא</translation>
    </message>
    <message>
        <source>Calibrated by:</source>
        <translation>כויל על ידי:</translation>
    </message>
    <message>
        <source>Calibrated by</source>
        <translation>כויל על ידי</translation>
    </message>
    <message>
        <source>Factor:</source>
        <translation>מקדם:</translation>
    </message>
    <message>
        <source>Factor</source>
        <translation>מקדם</translation>
    </message>
    <message>
        <source>OK</source>
        <translation>אישור</translation>
    </message>
</context>
<context>
    <name>zel::DataHandleDialog</name>
    <message>
        <source>Data Handle</source>
        <translation>טיפול בנתונים</translation>
    </message>
    <message>
        <source>Scale</source>
        <translation>סקאלה</translation>
    </message>
    <message>
        <source>Auto</source>
        <translation>אוטומטי</translation>
    </message>
    <message>
        <source>Manual</source>
        <translation>ידני</translation>
    </message>
    <message>
        <source>OffLine</source>
        <translation>לא מקוון</translation>
    </message>
    <message>
        <source>Online</source>
        <translation>מקוון</translation>
    </message>
</context>
<context>
    <name>zel::DebugWindow</name>
    <message>
        <source>Debug</source>
        <translation>ניפוי שגיאות</translation>
    </message>
    <message>
        <source>Traffic log</source>
        <translation>יומן תעבורה</translation>
    </message>
    <message>
        <source>Save</source>
        <translation>שמירה</translation>
    </message>
    <message>
        <source>Clear</source>
        <translation>ניקוי</translation>
    </message>
    <message>
        <source>Show All</source>
        <translation>הצג הכול</translation>
    </message>
    <message>
        <source>Error Count</source>
        <translation>מספר שגיאות</translation>
    </message>
    <message>
        <source>Total Errors</source>
        <translation>סך השגיאות</translation>
    </message>
    <message>
        <source>Error Count:</source>
        <translation>מספר שגיאות:</translation>
    </message>
    <message>
        <source>Total Errors:</source>
        <translation>סך השגיאות:</translation>
    </message>
    <message>
        <source>Data saved in file ZelDbg.txt</source>
        <translation>הנתונים נשמרו בקובץ ⁦ZelDbg.txt⁩</translation>
    </message>
    <message>
        <source>The file ZelDbg.txt could not be written</source>
        <translation>לא ניתן היה לכתוב את הקובץ ⁦ZelDbg.txt⁩</translation>
    </message>
</context>
<context>
    <name>zel::IntervalDialog</name>
    <message>
        <source>Set Real time </source>
        <translation>הגדרת זמן אמת </translation>
    </message>
    <message>
        <source>Minutes</source>
        <translation>דקות</translation>
    </message>
    <message>
        <source>Seconds</source>
        <translation>שניות</translation>
    </message>
    <message>
        <source>Min</source>
        <translation>דק&apos;</translation>
    </message>
    <message>
        <source>100 mSec</source>
        <translation>100 אלפיות שנייה</translation>
    </message>
    <message>
        <source>Set 100 mSec interval</source>
        <translation>הגדרת מרווח של 100 מילישניות</translation>
    </message>
    <message>
        <source>OK</source>
        <translation>אישור</translation>
    </message>
    <message>
        <source>&amp;Cancel</source>
        <translation>&amp;ביטול</translation>
    </message>
    <message>
        <source>Cancel</source>
        <translation>ביטול</translation>
    </message>
    <message>
        <source>Sec/10</source>
        <translation>שנ&apos;/10</translation>
    </message>
    <message>
        <source>Sec</source>
        <translation>שנ&apos;</translation>
    </message>
    <message>
        <source>The interval must be at least 0.1 seconds, with minutes from 0 to 1440 and seconds from 0 to 3600.</source>
        <translation>המרווח חייב להיות לפחות 0.1 שניות, עם דקות מ-0 עד 1440 ושניות מ-0 עד 3600.</translation>
    </message>
</context>
<context>
    <name>zel::LegendDialog</name>
    <message>
        <source>Legend</source>
        <translation>מקרא</translation>
    </message>
    <message>
        <source>Department:</source>
        <translation>מחלקה:</translation>
    </message>
    <message>
        <source>Department</source>
        <translation>מחלקה</translation>
    </message>
    <message>
        <source>Date:</source>
        <translation>תאריך:</translation>
    </message>
    <message>
        <source>Date</source>
        <translation>תאריך</translation>
    </message>
    <message>
        <source>Instrument Type:</source>
        <translation>סוג המכשיר:</translation>
    </message>
    <message>
        <source>Instrument Type</source>
        <translation>סוג המכשיר</translation>
    </message>
    <message>
        <source>Survey location:</source>
        <translation>מיקום הסקר:</translation>
    </message>
    <message>
        <source>Survey location</source>
        <translation>מיקום הסקר</translation>
    </message>
    <message>
        <source>Surveyor:</source>
        <translation>סוקר:</translation>
    </message>
    <message>
        <source>Surveyor</source>
        <translation>סוקר</translation>
    </message>
    <message>
        <source>OK</source>
        <translation>אישור</translation>
    </message>
    <message>
        <source>&amp;Cancel</source>
        <translation>&amp;ביטול</translation>
    </message>
    <message>
        <source>Cancel</source>
        <translation>ביטול</translation>
    </message>
</context>
<context>
    <name>zel::MainWindow</name>
    <message>
        <source>Value</source>
        <translation>ערך</translation>
    </message>
    <message>
        <source>Latest reading; click to mute the alarm</source>
        <translation>הקריאה האחרונה; לחיצה משתיקה את האזעקה</translation>
    </message>
    <message>
        <source>Dose</source>
        <translation>מנה</translation>
    </message>
    <message>
        <source>Connection</source>
        <translation>חיבור</translation>
    </message>
    <message>
        <source>Connection to the instrument</source>
        <translation>חיבור למכשיר</translation>
    </message>
    <message>
        <source>Status</source>
        <translation>מצב</translation>
    </message>
    <message>
        <source>ID No.:</source>
        <translation>מס&apos; זיהוי:</translation>
    </message>
    <message>
        <source>Detector:</source>
        <translation>גלאי:</translation>
    </message>
    <message>
        <source>Status:</source>
        <translation>מצב:</translation>
    </message>
    <message>
        <source>ID No.</source>
        <translation>מס&apos; זיהוי</translation>
    </message>
    <message>
        <source>Detector</source>
        <translation>גלאי</translation>
    </message>
    <message>
        <source>Readings:</source>
        <translation>קריאות:</translation>
    </message>
    <message>
        <source>Readings</source>
        <translation>קריאות</translation>
    </message>
    <message>
        <source>Activity</source>
        <translation>פעילות</translation>
    </message>
    <message>
        <source>Automatic</source>
        <translation>אוטומטי</translation>
    </message>
    <message>
        <source>Automatic measurement progress</source>
        <translation>התקדמות המדידה האוטומטית</translation>
    </message>
    <message>
        <source>Instrument</source>
        <translation>מכשיר</translation>
    </message>
    <message>
        <source>On Line</source>
        <translation>מקוון</translation>
    </message>
    <message>
        <source>Start</source>
        <translation>התחל</translation>
    </message>
    <message>
        <source>Set &amp;Interval</source>
        <translation>קבע מרווח</translation>
    </message>
    <message>
        <source>Send time interval to get data online</source>
        <translation>שלח מרווח זמן לקבלת נתונים מקוונים</translation>
    </message>
    <message>
        <source>List</source>
        <translation>רשימה</translation>
    </message>
    <message>
        <source>&amp;Clear </source>
        <translation>נקה</translation>
    </message>
    <message>
        <source>Clear the list</source>
        <translation>נקה את הרשימה</translation>
    </message>
    <message>
        <source>Settings</source>
        <translation>הגדרות</translation>
    </message>
    <message>
        <source>Set &amp;Port</source>
        <translation>קבע יציאה</translation>
    </message>
    <message>
        <source>Set communication port</source>
        <translation>קבע יציאת תקשורת</translation>
    </message>
    <message>
        <source>Send &amp;Time</source>
        <translation>שלח זמן</translation>
    </message>
    <message>
        <source>Download time to instrument</source>
        <translation>העבר זמן למכשיר</translation>
    </message>
    <message>
        <source>&amp;Save</source>
        <translation>שמור</translation>
    </message>
    <message>
        <source>&amp;Exit</source>
        <translation>יציאה</translation>
    </message>
    <message>
        <source>Calibration</source>
        <translation>כיול</translation>
    </message>
    <message>
        <source>Mute Alarm</source>
        <translation>השתק אזעקה</translation>
    </message>
    <message>
        <source>Get &amp;Legend</source>
        <translation>קבל מקרא</translation>
    </message>
    <message>
        <source>Stop</source>
        <translation>עצור</translation>
    </message>
    <message>
        <source>Readings list</source>
        <translation>רשימת הקריאות</translation>
    </message>
    <message>
        <source>&amp;Data</source>
        <translation>נתונים</translation>
    </message>
    <message>
        <source>&amp;Start Online</source>
        <translation>התחל מקוון</translation>
    </message>
    <message>
        <source>&amp;Get Offline Data</source>
        <translation>קבל נתונים לא מקוונים</translation>
    </message>
    <message>
        <source>Get &amp;Calibration data</source>
        <translation>קבל נתוני כיול</translation>
    </message>
    <message>
        <source>&amp;Setting</source>
        <translation>הגדרות</translation>
    </message>
    <message>
        <source>On Line &amp;Interval</source>
        <translation>מרווח מקוון</translation>
    </message>
    <message>
        <source>Communication &amp;Port</source>
        <translation>יציאת תקשורת</translation>
    </message>
    <message>
        <source>P&amp;arameters</source>
        <translation>פרמטרים</translation>
    </message>
    <message>
        <source>Setup A&amp;mp</source>
        <translation>הגדרת מגבר</translation>
    </message>
    <message>
        <source>&amp;Utility</source>
        <translation>כלים</translation>
    </message>
    <message>
        <source>&amp;Automatic</source>
        <translation>אוטומטי</translation>
    </message>
    <message>
        <source>&amp;Graph</source>
        <translation>גרף</translation>
    </message>
    <message>
        <source>T&amp;est</source>
        <translation>בדיקה</translation>
    </message>
    <message>
        <source>&amp;Help</source>
        <translation>עזרה</translation>
    </message>
    <message>
        <source>&amp;About</source>
        <translation>אודות</translation>
    </message>
    <message>
        <source>Start/Stop On line Collection</source>
        <translation>התחל/עצור איסוף מקוון</translation>
    </message>
    <message>
        <source>Get Offline data from instrument</source>
        <translation>קבל נתונים לא מקוונים מהמכשיר</translation>
    </message>
    <message>
        <source>Display Graph</source>
        <translation>הצג גרף</translation>
    </message>
    <message>
        <source>Clear List</source>
        <translation>נקה רשימה</translation>
    </message>
    <message>
        <source>Stop Online</source>
        <translation>עצור מקוון</translation>
    </message>
    <message>
        <source>Start Online</source>
        <translation>התחל מקוון</translation>
    </message>
    <message>
        <source>Save the readings to a file</source>
        <translation>שמור את המדידות בקובץ</translation>
    </message>
    <message>
        <source>The page heading could not be saved: %1</source>
        <translation>לא ניתן היה לשמור את כותרת העמוד: %1</translation>
    </message>
    <message>
        <source>Save</source>
        <translation>שמירה</translation>
    </message>
    <message>
        <source>Csv Files (*.csv);;All Files (*)</source>
        <translation>קובצי CSV (*.csv);;כל הקבצים (*)</translation>
    </message>
</context>
<context>
    <name>zel::ParametersDialog</name>
    <message>
        <source>Set Parameters</source>
        <translation>הגדרת פרמטרים</translation>
    </message>
    <message>
        <source>Threshold 1:</source>
        <translation>סף 1:</translation>
    </message>
    <message>
        <source>Threshold 2:</source>
        <translation>סף 2:</translation>
    </message>
    <message>
        <source>Lost Contact Interval:</source>
        <translation>מרווח אובדן קשר:</translation>
    </message>
    <message>
        <source>Sec.</source>
        <translation>שנ&apos;</translation>
    </message>
    <message>
        <source>Time Format</source>
        <translation>תבנית זמן</translation>
    </message>
    <message>
        <source>Time</source>
        <translation>שעה</translation>
    </message>
    <message>
        <source>Mili Sec.</source>
        <translation>אלפיות שנייה</translation>
    </message>
    <message>
        <source>Audio Alarm</source>
        <translation>התראה קולית</translation>
    </message>
    <message>
        <source>Auto Arrange forms</source>
        <translation>סידור חלונות אוטומטי</translation>
    </message>
    <message>
        <source>%1: give a number of 0 or more.</source>
        <translation>%1: יש להזין מספר 0 ומעלה.</translation>
    </message>
    <message>
        <source>Threshold 2 must not be below Threshold 1.</source>
        <translation>סף 2 לא יכול להיות נמוך מסף 1.</translation>
    </message>
    <message>
        <source>%1: give a whole number from %2 to %3.</source>
        <translation>%1: יש להזין מספר שלם מ-%2 עד %3.</translation>
    </message>
    <message>
        <source>Thresholds are in mR/h, uSv/h, cpm or cps. A reading shown in R/h, mSv/h or Kcpm is compared after conversion: 2 R/h counts as 2000 mR/h. An amplifier&apos;s readings are compared in the unit chosen in Setup Device.</source>
        <translation>הספים הם ביחידות ⁦mR/h⁩, ⁦uSv/h⁩, ⁦cpm⁩ או ⁦cps⁩. קריאה המוצגת ב-⁦R/h⁩, ⁦mSv/h⁩ או ⁦Kcpm⁩ מושווית לאחר המרה: ⁦2 R/h⁩ נחשבים ⁦2000 mR/h⁩. קריאות של מגבר מושוות ביחידה שנבחרה ב„הגדרת מכשיר”.</translation>
    </message>
</context>
<context>
    <name>zel::PortDialog</name>
    <message>
        <source>Set Port</source>
        <translation>הגדרת יציאה</translation>
    </message>
    <message>
        <source>Communication Port</source>
        <translation>יציאת תקשורת</translation>
    </message>
    <message>
        <source>Baud Rate</source>
        <translation>קצב תקשורת</translation>
    </message>
    <message>
        <source>OK</source>
        <translation>אישור</translation>
    </message>
    <message>
        <source>&amp;Cancel</source>
        <translation>&amp;ביטול</translation>
    </message>
    <message>
        <source>Cancel</source>
        <translation>ביטול</translation>
    </message>
    <message>
        <source>Error in Communication</source>
        <translation>שגיאת תקשורת</translation>
    </message>
    <message>
        <source>Error in opening Communication port</source>
        <translation>שגיאה בפתיחת יציאת התקשורת</translation>
    </message>
    <message>
        <source>The port is open, but the setting could not be saved in dax.ini.</source>
        <translation>היציאה פתוחה, אך לא ניתן היה לשמור את ההגדרה בקובץ ⁦dax.ini⁩.</translation>
    </message>
    <message>
        <source>Serial devices</source>
        <translation>התקנים טוריים</translation>
    </message>
    <message>
        <source>Device choice</source>
        <translation>בחירת התקן</translation>
    </message>
    <message>
        <source>S/N %1</source>
        <translation>מס&apos; סידורי %1</translation>
    </message>
    <message>
        <source>You may not open it: add your user to the &quot;dialout&quot; group (sudo adduser $USER dialout) and log in again.</source>
        <translation>אין לך הרשאה לפתוח אותו: הוסף את המשתמש שלך לקבוצה &quot;dialout&quot; (sudo adduser $USER dialout) והתחבר מחדש.</translation>
    </message>
    <message>
        <source>No serial devices found</source>
        <translation>לא נמצאו התקנים טוריים</translation>
    </message>
    <message>
        <source>Com%1 will use %2</source>
        <translation>Com%1 ישתמש ב-%2</translation>
    </message>
    <message>
        <source>Pick a device to use it for the chosen Com port.</source>
        <translation>בחר התקן עבור יציאת ה-Com שנבחרה.</translation>
    </message>
</context>
<context>
    <name>zel::ProbeNumberDialog</name>
    <message>
        <source>Automatic</source>
        <translation>אוטומטי</translation>
    </message>
    <message>
        <source>Probe Number</source>
        <translation>מספר דגימה</translation>
    </message>
    <message>
        <source>Background Measurment</source>
        <translation>מדידת רקע</translation>
    </message>
    <message>
        <source>Detector Inserted? </source>
        <translation>הגלאי הוכנס? </translation>
    </message>
    <message>
        <source>OK</source>
        <translation>אישור</translation>
    </message>
    <message>
        <source>Cancel</source>
        <translation>ביטול</translation>
    </message>
</context>
<context>
    <name>zel::StringTable</name>
    <message>
        <source>OK</source>
        <translation>אישור</translation>
    </message>
    <message>
        <source>Cancel</source>
        <translation>ביטול</translation>
    </message>
    <message>
        <source>Exit</source>
        <translation>יציאה</translation>
    </message>
    <message>
        <source>Edit</source>
        <translation>עריכה</translation>
    </message>
    <message>
        <source>List</source>
        <translation>רשימה</translation>
    </message>
    <message>
        <source>Auto</source>
        <translation>אוטומטי</translation>
    </message>
    <message>
        <source>Parameters</source>
        <translation>פרמטרים</translation>
    </message>
    <message>
        <source>OnLine</source>
        <translation>מקוון</translation>
    </message>
    <message>
        <source>Offline</source>
        <translation>לא מקוון</translation>
    </message>
    <message>
        <source>Graph for point :</source>
        <translation>גרף עבור נקודה :</translation>
    </message>
    <message>
        <source>All Data</source>
        <translation>כל הנתונים</translation>
    </message>
    <message>
        <source>Mark</source>
        <translation>סימון</translation>
    </message>
    <message>
        <source>Export</source>
        <translation>ייצוא</translation>
    </message>
    <message>
        <source>New Peak</source>
        <translation>שיא חדש</translation>
    </message>
    <message>
        <source>Print</source>
        <translation>הדפסה</translation>
    </message>
    <message>
        <source>Maximum</source>
        <translation>מקסימום</translation>
    </message>
    <message>
        <source>Average</source>
        <translation>ממוצע</translation>
    </message>
    <message>
        <source>Average To Csv</source>
        <translation>ממוצע לקובץ CSV</translation>
    </message>
    <message>
        <source>All To Csv</source>
        <translation>הכול לקובץ CSV</translation>
    </message>
    <message>
        <source>Save Set Graph</source>
        <translation>שמירת סט גרפים</translation>
    </message>
    <message>
        <source>Probe Number</source>
        <translation>מספר דגימה</translation>
    </message>
    <message>
        <source>Background Measurment</source>
        <translation>מדידת רקע</translation>
    </message>
    <message>
        <source>Detector Inserted? </source>
        <translation>הגלאי הוכנס? </translation>
    </message>
    <message>
        <source>Background Time : </source>
        <translation>זמן רקע : </translation>
    </message>
    <message>
        <source>Measuring Time : </source>
        <translation>זמן מדידה : </translation>
    </message>
</context>
<context>
    <name>zel::UpDownControl</name>
    <message>
        <source>Change value</source>
        <translation>שינוי ערך</translation>
    </message>
    <message>
        <source>Increase</source>
        <translation>הגדלה</translation>
    </message>
    <message>
        <source>Decrease</source>
        <translation>הקטנה</translation>
    </message>
</context>
<context>
    <name>zel::WaitDialog</name>
    <message>
        <source>Please wait</source>
        <translation>נא להמתין</translation>
    </message>
    <message>
        <source>Progress</source>
        <translation>התקדמות</translation>
    </message>
    <message>
        <source>Stop</source>
        <translation>עצור</translation>
    </message>
</context>
<context>
    <name>zel::graph::DataListModel</name>
    <message>
        <source>Time</source>
        <translation>זמן</translation>
    </message>
</context>
<context>
    <name>zel::graph::DataListWindow</name>
    <message>
        <source> Data Graph</source>
        <translation> רשימת נתונים</translation>
    </message>
    <message>
        <source>Data list</source>
        <translation>רשימת נתונים</translation>
    </message>
</context>
<context>
    <name>zel::graph::DistributionPlotWidget</name>
    <message>
        <source>Readings</source>
        <translation>קריאות</translation>
    </message>
    <message>
        <source>Normal</source>
        <translation>התפלגות נורמלית</translation>
    </message>
    <message>
        <source>Poisson</source>
        <translation>פואסון</translation>
    </message>
</context>
<context>
    <name>zel::graph::DistributionWindow</name>
    <message>
        <source>Distribution</source>
        <translation>התפלגות</translation>
    </message>
    <message>
        <source>Save distribution…</source>
        <translation>שמירת ההתפלגות…</translation>
    </message>
    <message>
        <source>Print</source>
        <translation>הדפסה</translation>
    </message>
    <message>
        <source>Print to PDF…</source>
        <translation>הדפסה ל-PDF…</translation>
    </message>
    <message>
        <source>Bins:</source>
        <translation>תאים:</translation>
    </message>
    <message>
        <source>Freedman–Diaconis</source>
        <translation>פרידמן–דיאקוניס</translation>
    </message>
    <message>
        <source>Sturges</source>
        <translation>סטרג&apos;ס</translation>
    </message>
    <message>
        <source>Width typed</source>
        <translation>רוחב מוקלד</translation>
    </message>
    <message>
        <source>Bin width</source>
        <translation>רוחב תא</translation>
    </message>
    <message>
        <source>Histogram</source>
        <translation>היסטוגרמה</translation>
    </message>
    <message>
        <source>Readings</source>
        <translation>קריאות</translation>
    </message>
    <message>
        <source>Mean</source>
        <translation>ממוצע</translation>
    </message>
    <message>
        <source>Median</source>
        <translation>חציון</translation>
    </message>
    <message>
        <source>Standard deviation</source>
        <translation>סטיית תקן</translation>
    </message>
    <message>
        <source>Standard error of the mean</source>
        <translation>שגיאת התקן של הממוצע</translation>
    </message>
    <message>
        <source>Minimum</source>
        <translation>מינימום</translation>
    </message>
    <message>
        <source>Maximum</source>
        <translation>מקסימום</translation>
    </message>
    <message>
        <source>5th percentile</source>
        <translation>אחוזון 5</translation>
    </message>
    <message>
        <source>95th percentile</source>
        <translation>אחוזון 95</translation>
    </message>
    <message>
        <source>Count time per reading</source>
        <translation>זמן ספירה לקריאה</translation>
    </message>
    <message>
        <source>Mean counts per reading</source>
        <translation>ממוצע ספירות לקריאה</translation>
    </message>
    <message>
        <source>Dispersion index (variance/mean)</source>
        <translation>מדד פיזור (שונות/ממוצע)</translation>
    </message>
    <message>
        <source>Chi-square</source>
        <translation>חי בריבוע</translation>
    </message>
    <message>
        <source>Degrees of freedom</source>
        <translation>דרגות חופש</translation>
    </message>
    <message>
        <source>Probability</source>
        <translation>הסתברות</translation>
    </message>
    <message>
        <source>Distribution of %1</source>
        <translation>התפלגות של %1</translation>
    </message>
    <message>
        <source>No readings in the window on screen.</source>
        <translation>אין קריאות בחלון שעל המסך.</translation>
    </message>
    <message>
        <source>From %1 to %2</source>
        <translation>מ-%1 עד %2</translation>
    </message>
    <message>
        <source>%1 s</source>
        <translation>%1 שנ&apos;</translation>
    </message>
    <message>
        <source>scatter as expected</source>
        <translation>פיזור כצפוי</translation>
    </message>
    <message>
        <source>too little scatter</source>
        <translation>פיזור קטן מדי</translation>
    </message>
    <message>
        <source>too much scatter</source>
        <translation>פיזור גדול מדי</translation>
    </message>
    <message>
        <source>Counting check: %1</source>
        <translation>בדיקת סטטיסטיקת ספירה: %1</translation>
    </message>
    <message>
        <source>Counts are the rates times %1 s, the interval of the readings.</source>
        <translation>הספירות הן הקצבים כפול %1 שנ&apos;, מרווח הקריאות.</translation>
    </message>
    <message>
        <source>Counts are the rates per minute times %1 s / 60 s, the interval of the readings.</source>
        <translation>הספירות הן הקצבים לדקה כפול %1 שנ&apos; / 60 שנ&apos;, מרווח הקריאות.</translation>
    </message>
    <message>
        <source>No counting check: readings in %1 are not counts (only cps, cpm and counts are).</source>
        <translation>אין בדיקת ספירה: קריאות ב-⁦%1⁩ אינן ספירות (רק ⁦cps⁩, ⁦cpm⁩ ו-⁦counts⁩ הן ספירות).</translation>
    </message>
    <message>
        <source>No counting check: the interval of the readings is not known.</source>
        <translation>אין בדיקת ספירה: מרווח הקריאות אינו ידוע.</translation>
    </message>
    <message>
        <source>No counting check: it needs at least two readings.</source>
        <translation>אין בדיקת ספירה: נדרשות לפחות שתי קריאות.</translation>
    </message>
    <message>
        <source>No counting check: there were no counts.</source>
        <translation>אין בדיקת ספירה: לא היו ספירות.</translation>
    </message>
    <message>
        <source>1 reading left out</source>
        <translation>קריאה אחת לא נכללה</translation>
    </message>
    <message>
        <source>%1 readings left out</source>
        <translation>%1 קריאות לא נכללו</translation>
    </message>
    <message>
        <source>Histogram of %1 readings in %2 bins</source>
        <translation>היסטוגרמה של %1 קריאות ב-%2 תאים</translation>
    </message>
    <message>
        <source>Csv Files (*.csv);;All Files (*)</source>
        <translation>קובצי CSV (*.csv);;כל הקבצים (*)</translation>
    </message>
    <message>
        <source>The distribution could not be saved.</source>
        <translation>לא ניתן היה לשמור את ההתפלגות.</translation>
    </message>
    <message>
        <source>Data saved in file : </source>
        <translation>הנתונים נשמרו בקובץ : </translation>
    </message>
    <message>
        <source>The distribution could not be printed.</source>
        <translation>לא ניתן היה להדפיס את ההתפלגות.</translation>
    </message>
    <message>
        <source>Distribution printed</source>
        <translation>ההתפלגות הודפסה</translation>
    </message>
    <message>
        <source>PDF Files (*.pdf);;All Files (*)</source>
        <translation>קובצי PDF (*.pdf);;כל הקבצים (*)</translation>
    </message>
    <message>
        <source>Distribution saved in file : </source>
        <translation>ההתפלגות נשמרה בקובץ : </translation>
    </message>
    <message>
        <source>The distribution could not be computed: %1</source>
        <translation>לא ניתן לחשב את ההתפלגות: %1</translation>
    </message>
    <message>
        <source>%1 s to %2 s</source>
        <translation>%1 שנ&apos; עד %2 שנ&apos;</translation>
    </message>
    <message>
        <source>Each reading counted for its own count time, the time since the reading before.</source>
        <translation>כל קריאה נספרה במשך זמן הספירה שלה, הזמן שעבר מהקריאה הקודמת.</translation>
    </message>
    <message>
        <source>The range is too long to load its single readings; zoom in for their distribution.</source>
        <translation>הטווח ארוך מדי לטעינת המדידות הבודדות; יש להגדיל כדי לראות את התפלגותן.</translation>
    </message>
</context>
<context>
    <name>zel::graph::GraphWindow</name>
    <message>
        <source>Graph for point: </source>
        <translation>גרף עבור נקודה: </translation>
    </message>
    <message>
        <source>Manual</source>
        <translation>ידני</translation>
    </message>
    <message>
        <source>Specific</source>
        <translation>מותאם</translation>
    </message>
    <message>
        <source>Show series %1</source>
        <translation>הצג סדרה %1</translation>
    </message>
    <message>
        <source>Time of the selected point</source>
        <translation>זמן הנקודה שנבחרה</translation>
    </message>
    <message>
        <source>Top of scale</source>
        <translation>ראש הסקאלה</translation>
    </message>
    <message>
        <source>Top of scale; double-click to use it</source>
        <translation>ראש הסקאלה; לחיצה כפולה להפעלה</translation>
    </message>
    <message>
        <source>Manual top of scale</source>
        <translation>ראש סקאלה ידני</translation>
    </message>
    <message>
        <source>Graph</source>
        <translation>גרף</translation>
    </message>
    <message>
        <source>Refresh</source>
        <translation>רענון</translation>
    </message>
    <message>
        <source>Max</source>
        <translation>מקס׳</translation>
    </message>
    <message>
        <source>All</source>
        <translation>הכול</translation>
    </message>
    <message>
        <source>Done</source>
        <translation>סיום</translation>
    </message>
    <message>
        <source>Ave</source>
        <translation>ממוצע</translation>
    </message>
    <message>
        <source>Auto</source>
        <translation>אוטומטי</translation>
    </message>
    <message>
        <source>Readings: %1   Mean: %2   Minimum: %3   Maximum: %4   Standard deviation: %5</source>
        <translation>קריאות: %1   ממוצע: %2   מינימום: %3   מקסימום: %4   סטיית תקן: %5</translation>
    </message>
    <message>
        <source>Print to PDF…</source>
        <translation>הדפסה ל-PDF…</translation>
    </message>
    <message>
        <source>Converting to Csv:</source>
        <translation>המרה ל-CSV:</translation>
    </message>
    <message>
        <source>Csv Files (*.csv);;All Files (*)</source>
        <translation>קובצי CSV (*.csv);;כל הקבצים (*)</translation>
    </message>
    <message>
        <source>The data could not be saved.</source>
        <translation>לא ניתן היה לשמור את הנתונים.</translation>
    </message>
    <message>
        <source>Data saved in file : </source>
        <translation>הנתונים נשמרו בקובץ : </translation>
    </message>
    <message>
        <source>Grp Files (*.Grp *.grp);;All Files (*)</source>
        <translation>קובצי Grp (*.Grp *.grp);;כל הקבצים (*)</translation>
    </message>
    <message>
        <source>The graph set could not be saved.</source>
        <translation>לא ניתן היה לשמור את סט הגרפים.</translation>
    </message>
    <message>
        <source>Filling the list</source>
        <translation>ממלא את הרשימה</translation>
    </message>
    <message>
        <source>The graph could not be printed.</source>
        <translation>לא ניתן היה להדפיס את הגרף.</translation>
    </message>
    <message>
        <source>Graph Printed</source>
        <translation>הגרף הודפס</translation>
    </message>
    <message>
        <source>the page could not be drawn</source>
        <translation>לא ניתן היה לצייר את הדף</translation>
    </message>
    <message>
        <source>PDF Files (*.pdf);;All Files (*)</source>
        <translation>קובצי PDF (*.pdf);;כל הקבצים (*)</translation>
    </message>
    <message>
        <source>Graph saved in file : </source>
        <translation>הגרף נשמר בקובץ : </translation>
    </message>
    <message>
        <source>%1 holds the station&apos;s readings and cannot be overwritten. Choose another name.</source>
        <translation>%1 מכיל את קריאות התחנה ולא ניתן לדרוס אותו. בחר שם אחר.</translation>
    </message>
    <message>
        <source>Page Heading…</source>
        <translation>כותרת עמוד…</translation>
    </message>
    <message>
        <source>Page Heading</source>
        <translation>כותרת עמוד</translation>
    </message>
    <message>
        <source>Graph of %1 in %2 from %3 to %4</source>
        <translation>גרף של %1 ב-%2 מ-%3 עד %4</translation>
    </message>
    <message>
        <source>Heading of the printed page:</source>
        <translation>כותרת העמוד המודפס:</translation>
    </message>
    <message>
        <source>Distribution</source>
        <translation>התפלגות</translation>
    </message>
    <message>
        <source>Exit</source>
        <translation>יציאה</translation>
    </message>
    <message>
        <source>Parameters</source>
        <translation>פרמטרים</translation>
    </message>
    <message>
        <source>Mark</source>
        <translation>סימון</translation>
    </message>
    <message>
        <source>Maximum</source>
        <translation>מקסימום</translation>
    </message>
    <message>
        <source>Average</source>
        <translation>ממוצע</translation>
    </message>
    <message>
        <source>All Data</source>
        <translation>כל הנתונים</translation>
    </message>
    <message>
        <source>List</source>
        <translation>רשימה</translation>
    </message>
    <message>
        <source>OnLine</source>
        <translation>מקוון</translation>
    </message>
    <message>
        <source>Export</source>
        <translation>ייצוא</translation>
    </message>
    <message>
        <source>Average To Csv</source>
        <translation>ממוצע לקובץ CSV</translation>
    </message>
    <message>
        <source>All To Csv</source>
        <translation>הכול לקובץ CSV</translation>
    </message>
    <message>
        <source>Save Set Graph</source>
        <translation>שמירת סט גרפים</translation>
    </message>
    <message>
        <source>Print</source>
        <translation>הדפסה</translation>
    </message>
    <message>
        <source>Edit</source>
        <translation>עריכה</translation>
    </message>
    <message>
        <source>Offline</source>
        <translation>לא מקוון</translation>
    </message>
    <message>
        <source>The export was cancelled; %1 was not written.</source>
        <translation>הייצוא בוטל; %1 לא נכתב.</translation>
    </message>
    <message>
        <source>newest %1 of %2</source>
        <translation>%1 האחרונות מתוך %2</translation>
    </message>
    <message>
        <source>Left and Right move the read-out, by 10 points with Shift, Ctrl or Alt. To zoom, press Space at one end, move the read-out to the other end and press Return; Escape drops the mark.</source>
        <translation>חץ שמאלה וחץ ימינה מזיזים את הקריאה, ב-10 נקודות עם ⁦Shift⁩, ⁦Ctrl⁩ או ⁦Alt⁩. להגדלה: לחץ ⁦Space⁩ בקצה אחד, הזז את הקריאה לקצה השני ולחץ ⁦Enter⁩; ⁦Escape⁩ מבטל את הסימון.</translation>
    </message>
    <message>
        <source>Zoom marked from %1</source>
        <translation>הגדלה מסומנת מ-%1</translation>
    </message>
    <message>
        <source>History…</source>
        <translation>היסטוריה…</translation>
    </message>
    <message>
        <source>Another export is being written.</source>
        <translation>ייצוא אחר נכתב כעת.</translation>
    </message>
    <message>
        <source>An export is being written.</source>
        <translation>ייצוא נכתב כעת.</translation>
    </message>
    <message>
        <source>The list is not open.</source>
        <translation>הרשימה אינה פתוחה.</translation>
    </message>
    <message>
        <source>The archive holds no readings in this range.</source>
        <translation>בארכיון אין מדידות בטווח זה.</translation>
    </message>
    <message>
        <source>Too few readings in this range to draw.</source>
        <translation>מעט מדי מדידות בטווח זה לשרטוט.</translation>
    </message>
    <message>
        <source>Readings: %1   Mean: %2   Minimum: %3   Maximum: %4</source>
        <translation>מדידות: %1   ממוצע: %2   מינימום: %3   מקסימום: %4</translation>
    </message>
</context>
<context>
    <name>zel::graph::HistoryDialog</name>
    <message>
        <source>The range must begin before it ends.</source>
        <translation>הטווח חייב להתחיל לפני שהוא מסתיים.</translation>
    </message>
    <message>
        <source>History</source>
        <translation>היסטוריה</translation>
    </message>
    <message>
        <source>&amp;From:</source>
        <translation>&amp;מ:</translation>
    </message>
    <message>
        <source>&amp;To:</source>
        <translation>&amp;עד:</translation>
    </message>
    <message>
        <source>Last &amp;day</source>
        <translation>&amp;יום אחרון</translation>
    </message>
    <message>
        <source>Last &amp;week</source>
        <translation>&amp;שבוע אחרון</translation>
    </message>
    <message>
        <source>Last &amp;month</source>
        <translation>&amp;חודש אחרון</translation>
    </message>
    <message>
        <source>Last &amp;year</source>
        <translation>&amp;שנה אחרונה</translation>
    </message>
    <message>
        <source>&amp;All</source>
        <translation>&amp;הכל</translation>
    </message>
</context>
</TS>
