<?xml version="1.0" encoding="utf-8"?>
<!DOCTYPE TS>
<TS version="2.1" language="sv_SE">
<context>
    <name>points::GatewayLink</name>
    <message>
        <source>cannot reach the gateway at %1: no answer within %2 s</source>
        <translation>gatewayen på %1 kan inte nås: inget svar inom %2 s</translation>
    </message>
    <message>
        <source>no reply from the gateway within %1 s</source>
        <translation>inget svar från gatewayen inom %1 s</translation>
    </message>
    <message>
        <source>cannot reach the gateway at %1: %2</source>
        <translation>gatewayen på %1 kan inte nås: %2</translation>
    </message>
    <message>
        <source>the connection to the gateway was lost: %1</source>
        <translation>anslutningen till gatewayen bröts: %1</translation>
    </message>
    <message>
        <source>connecting to the gateway at %1</source>
        <translation>ansluter till gatewayen på %1</translation>
    </message>
    <message>
        <source>connected to the gateway at %1</source>
        <translation>ansluten till gatewayen på %1</translation>
    </message>
    <message>
        <source>not connected to the gateway</source>
        <translation>inte ansluten till gatewayen</translation>
    </message>
    <message>
        <source>the gateway sent a malformed reply</source>
        <translation>gatewayen skickade ett felaktigt svar</translation>
    </message>
    <message>
        <source>connected to the gateway at %1, but it could not open the device (DEVICE_CONNECT answered ERROR)</source>
        <translation>ansluten till gatewayen på %1, men den kunde inte öppna enheten (DEVICE_CONNECT svarade ERROR)</translation>
    </message>
    <message>
        <source>connecting again</source>
        <translation>ansluter igen</translation>
    </message>
    <message>
        <source>%1; trying again in %2 s</source>
        <translation>%1; nytt försök om %2 s</translation>
    </message>
    <message>
        <source>connected to the gateway at %1, but it could not open the device: %2</source>
        <translation>ansluten till gatewayen på %1, men den kunde inte öppna enheten: %2</translation>
    </message>
</context>
<context>
    <name>points::PointsWindow</name>
    <message>
        <source>VR-620 points - %1</source>
        <translation>VR-620 punkter - %1</translation>
    </message>
    <message>
        <source>&amp;Point:</source>
        <translation>&amp;Punkt:</translation>
    </message>
    <message>
        <source>&amp;Add</source>
        <translation>&amp;Lägg till</translation>
    </message>
    <message>
        <source>Re&amp;move</source>
        <translation>&amp;Ta bort</translation>
    </message>
    <message>
        <source>&amp;Read</source>
        <translation>Lä&amp;s</translation>
    </message>
    <message>
        <source>Read a&amp;ll</source>
        <translation>Läs &amp;alla</translation>
    </message>
    <message>
        <source>&amp;Value:</source>
        <translation>&amp;Värde:</translation>
    </message>
    <message>
        <source>&amp;Write</source>
        <translation>S&amp;kriv</translation>
    </message>
    <message>
        <source>Watch &amp;every</source>
        <translation>&amp;Bevaka var</translation>
    </message>
    <message>
        <source> s</source>
        <translation> s</translation>
    </message>
    <message>
        <source>Point</source>
        <translation>Punkt</translation>
    </message>
    <message>
        <source>Name</source>
        <translation>Namn</translation>
    </message>
    <message>
        <source>Value (hex)</source>
        <translation>Värde (hex)</translation>
    </message>
    <message>
        <source>Unsigned</source>
        <translation>Utan tecken</translation>
    </message>
    <message>
        <source>Signed</source>
        <translation>Med tecken</translation>
    </message>
    <message>
        <source>Text</source>
        <translation>Text</translation>
    </message>
    <message>
        <source>Watch</source>
        <translation>Bevaka</translation>
    </message>
    <message>
        <source>Status</source>
        <translation>Status</translation>
    </message>
    <message>
        <source>&amp;File</source>
        <translation>&amp;Fil</translation>
    </message>
    <message>
        <source>&amp;Open list...</source>
        <translation>&amp;Öppna lista...</translation>
    </message>
    <message>
        <source>&amp;Save list</source>
        <translation>&amp;Spara lista</translation>
    </message>
    <message>
        <source>Save list &amp;as...</source>
        <translation>Spara lista s&amp;om...</translation>
    </message>
    <message>
        <source>&amp;Quit</source>
        <translation>&amp;Avsluta</translation>
    </message>
    <message>
        <source>P&amp;oints</source>
        <translation>P&amp;unkter</translation>
    </message>
    <message>
        <source>Read &amp;all</source>
        <translation>Läs &amp;alla</translation>
    </message>
    <message>
        <source>&amp;Remove</source>
        <translation>&amp;Ta bort</translation>
    </message>
    <message>
        <source>&amp;Connect again</source>
        <translation>Anslut &amp;igen</translation>
    </message>
    <message>
        <source>&quot;%1&quot; is no point number: type 1 to 4 hexadecimal digits, such as 0102.</source>
        <translation>&quot;%1&quot; är inget punktnummer: skriv 1 till 4 hexadecimala siffror, till exempel 0102.</translation>
    </message>
    <message>
        <source>Point %1 is in the list already.</source>
        <translation>Punkt %1 finns redan i listan.</translation>
    </message>
    <message>
        <source>reading...</source>
        <translation>läser...</translation>
    </message>
    <message>
        <source>Choose a point in the list first.</source>
        <translation>Välj först en punkt i listan.</translation>
    </message>
    <message>
        <source>Not written: type the value as hexadecimal bytes, such as 12 34.</source>
        <translation>Inte skrivet: skriv värdet som hexadecimala byte, till exempel 12 34.</translation>
    </message>
    <message>
        <source>Not written: &quot;%1&quot; is not hexadecimal bytes (pairs of the digits 0-9 and A-F, such as 12 34).</source>
        <translation>Inte skrivet: &quot;%1&quot; är inte hexadecimala byte (par av siffrorna 0-9 och A-F, till exempel 12 34).</translation>
    </message>
    <message>
        <source>Not written: %1 bytes is too long; a value holds at most %2 bytes.</source>
        <translation>Inte skrivet: %1 byte är för långt; ett värde har högst %2 byte.</translation>
    </message>
    <message>
        <source>writing...</source>
        <translation>skriver...</translation>
    </message>
    <message>
        <source>written %1</source>
        <translation>skrivet %1</translation>
    </message>
    <message>
        <source>Point %1 written; reading it back.</source>
        <translation>Punkt %1 skriven; läser tillbaka.</translation>
    </message>
    <message>
        <source>ERROR: not written</source>
        <translation>ERROR: inte skrivet</translation>
    </message>
    <message>
        <source>Point %1: the write answered ERROR: the controller refused the value or did not answer.</source>
        <translation>Punkt %1: skrivningen svarade ERROR: regulatorn avvisade värdet eller svarade inte.</translation>
    </message>
    <message>
        <source>ERROR</source>
        <translation>ERROR</translation>
    </message>
    <message>
        <source>Point %1: ERROR: the controller did not answer, or it does not know this point.</source>
        <translation>Punkt %1: ERROR: regulatorn svarade inte, eller så känner den inte till punkten.</translation>
    </message>
    <message>
        <source>OK %1</source>
        <translation>OK %1</translation>
    </message>
    <message>
        <source>not done: %1</source>
        <translation>inte utfört: %1</translation>
    </message>
    <message>
        <source>The list %1 cannot be read: %2</source>
        <translation>Listan %1 kan inte läsas: %2</translation>
    </message>
    <message>
        <source>The list %1 is too large to be a list of points.</source>
        <translation>Filen %1 är för stor för att vara en punktlista.</translation>
    </message>
    <message>
        <source>no point number (1 to 4 hexadecimal digits)</source>
        <translation>inget punktnummer (1 till 4 hexadecimala siffror)</translation>
    </message>
    <message>
        <source>the watch column is neither 0 nor 1</source>
        <translation>bevakningskolumnen är varken 0 eller 1</translation>
    </message>
    <message>
        <source>the point is in the list twice</source>
        <translation>punkten finns två gånger i listan</translation>
    </message>
    <message>
        <source>a quotation mark is not closed</source>
        <translation>ett citattecken är inte stängt</translation>
    </message>
    <message>
        <source>The list %1 was not loaded: line %2: %3.</source>
        <translation>Listan %1 lästes inte in: rad %2: %3.</translation>
    </message>
    <message numerus="yes">
        <source>%n point(s) loaded from %1.</source>
        <translation>
            <numerusform>%n punkt inläst från %1.</numerusform>
            <numerusform>%n punkter inlästa från %1.</numerusform>
        </translation>
    </message>
    <message>
        <source>The list was not saved to %1: %2</source>
        <translation>Listan sparades inte i %1: %2</translation>
    </message>
    <message>
        <source>The list was saved to %1.</source>
        <translation>Listan sparades i %1.</translation>
    </message>
    <message>
        <source>Open a list of points</source>
        <translation>Öppna en punktlista</translation>
    </message>
    <message>
        <source>Lists of points (*.csv);;All files (*)</source>
        <translation>Punktlistor (*.csv);;Alla filer (*)</translation>
    </message>
    <message>
        <source>Save the list of points</source>
        <translation>Spara punktlistan</translation>
    </message>
    <message>
        <source>ERROR: not written: %1</source>
        <translation>ERROR: inte skrivet: %1</translation>
    </message>
    <message>
        <source>Point %1: the write answered ERROR: %2</source>
        <translation>Punkt %1: skrivningen svarade ERROR: %2</translation>
    </message>
    <message>
        <source>ERROR: %1</source>
        <translation>ERROR: %1</translation>
    </message>
    <message>
        <source>Point %1: ERROR: %2</source>
        <translation>Punkt %1: ERROR: %2</translation>
    </message>
</context>
<context>
    <name>points::TrendChart</name>
    <message>
        <source>Trend of point %1</source>
        <translation>Trend för punkt %1</translation>
    </message>
    <message>
        <source>Trend: choose a point with a numeric value</source>
        <translation>Trend: välj en punkt med ett numeriskt värde</translation>
    </message>
</context>
</TS>
