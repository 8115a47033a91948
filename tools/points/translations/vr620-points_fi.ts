<?xml version="1.0" encoding="utf-8"?>
<!DOCTYPE TS>
<TS version="2.1" language="fi_FI">
<context>
    <name>points::GatewayLink</name>
    <message>
        <source>cannot reach the gateway at %1: no answer within %2 s</source>
        <translation>yhdyskäytävään %1 ei saada yhteyttä: ei vastausta %2 sekunnissa</translation>
    </message>
    <message>
        <source>no reply from the gateway within %1 s</source>
        <translation>yhdyskäytävä ei vastannut %1 sekunnissa</translation>
    </message>
    <message>
        <source>cannot reach the gateway at %1: %2</source>
        <translation>yhdyskäytävään %1 ei saada yhteyttä: %2</translation>
    </message>
    <message>
        <source>the connection to the gateway was lost: %1</source>
        <translation>yhteys yhdyskäytävään katkesi: %1</translation>
    </message>
    <message>
        <source>connecting to the gateway at %1</source>
        <translation>yhdistetään yhdyskäytävään %1</translation>
    </message>
    <message>
        <source>connected to the gateway at %1</source>
        <translation>yhteys yhdyskäytävään %1</translation>
    </message>
    <message>
        <source>not connected to the gateway</source>
        <translation>ei yhteyttä yhdyskäytävään</translation>
    </message>
    <message>
        <source>the gateway sent a malformed reply</source>
        <translation>yhdyskäytävä lähetti virheellisen vastauksen</translation>
    </message>
    <message>
        <source>connected to the gateway at %1, but it could not open the device (DEVICE_CONNECT answered ERROR)</source>
        <translation>yhteys yhdyskäytävään %1, mutta se ei saanut laitetta auki (DEVICE_CONNECT vastasi ERROR)</translation>
    </message>
    <message>
        <source>connecting again</source>
        <translation>yhdistetään uudelleen</translation>
    </message>
    <message>
        <source>%1; trying again in %2 s</source>
        <translation>%1; uusi yritys %2 sekunnin kuluttua</translation>
    </message>
    <message>
        <source>connected to the gateway at %1, but it could not open the device: %2</source>
        <translation>yhteys yhdyskäytävään %1, mutta se ei saanut laitetta auki: %2</translation>
    </message>
</context>
<context>
    <name>points::PointsWindow</name>
    <message>
        <source>VR-620 points - %1</source>
        <translation>VR-620-pisteet - %1</translation>
    </message>
    <message>
        <source>&amp;Point:</source>
        <translation>&amp;Piste:</translation>
    </message>
    <message>
        <source>&amp;Add</source>
        <translation>Li&amp;sää</translation>
    </message>
    <message>
        <source>Re&amp;move</source>
        <translation>P&amp;oista</translation>
    </message>
    <message>
        <source>&amp;Read</source>
        <translation>&amp;Lue</translation>
    </message>
    <message>
        <source>Read a&amp;ll</source>
        <translation>Lue &amp;kaikki</translation>
    </message>
    <message>
        <source>&amp;Value:</source>
        <translation>&amp;Arvo:</translation>
    </message>
    <message>
        <source>&amp;Write</source>
        <translation>K&amp;irjoita</translation>
    </message>
    <message>
        <source>Watch &amp;every</source>
        <translation>Seuraa &amp;välein</translation>
    </message>
    <message>
        <source> s</source>
        <translation> s</translation>
    </message>
    <message>
        <source>Point</source>
        <translation>Piste</translation>
    </message>
    <message>
        <source>Name</source>
        <translation>Nimi</translation>
    </message>
    <message>
        <source>Value (hex)</source>
        <translation>Arvo (heksa)</translation>
    </message>
    <message>
        <source>Unsigned</source>
        <translation>Etumerkitön</translation>
    </message>
    <message>
        <source>Signed</source>
        <translation>Etumerkillinen</translation>
    </message>
    <message>
        <source>Text</source>
        <translation>Teksti</translation>
    </message>
    <message>
        <source>Watch</source>
        <translation>Seuraa</translation>
    </message>
    <message>
        <source>Status</source>
        <translation>Tila</translation>
    </message>
    <message>
        <source>&amp;File</source>
        <translation>&amp;Tiedosto</translation>
    </message>
    <message>
        <source>&amp;Open list...</source>
        <translation>&amp;Avaa lista...</translation>
    </message>
    <message>
        <source>&amp;Save list</source>
        <translation>&amp;Tallenna lista</translation>
    </message>
    <message>
        <source>Save list &amp;as...</source>
        <translation>Tallenna lista &amp;nimellä...</translation>
    </message>
    <message>
        <source>&amp;Quit</source>
        <translation>&amp;Lopeta</translation>
    </message>
    <message>
        <source>P&amp;oints</source>
        <translation>Pist&amp;eet</translation>
    </message>
    <message>
        <source>Read &amp;all</source>
        <translation>Lue &amp;kaikki</translation>
    </message>
    <message>
        <source>&amp;Remove</source>
        <translation>&amp;Poista</translation>
    </message>
    <message>
        <source>&amp;Connect again</source>
        <translation>&amp;Yhdistä uudelleen</translation>
    </message>
    <message>
        <source>&quot;%1&quot; is no point number: type 1 to 4 hexadecimal digits, such as 0102.</source>
        <translation>&quot;%1&quot; ei ole pisteen numero: kirjoita 1-4 heksadesimaalinumeroa, esimerkiksi 0102.</translation>
    </message>
    <message>
        <source>Point %1 is in the list already.</source>
        <translation>Piste %1 on jo listalla.</translation>
    </message>
    <message>
        <source>reading...</source>
        <translation>luetaan...</translation>
    </message>
    <message>
        <source>Choose a point in the list first.</source>
        <translation>Valitse ensin piste listalta.</translation>
    </message>
    <message>
        <source>Not written: type the value as hexadecimal bytes, such as 12 34.</source>
        <translation>Ei kirjoitettu: kirjoita arvo heksadesimaalitavuina, esimerkiksi 12 34.</translation>
    </message>
    <message>
        <source>Not written: &quot;%1&quot; is not hexadecimal bytes (pairs of the digits 0-9 and A-F, such as 12 34).</source>
        <translation>Ei kirjoitettu: &quot;%1&quot; ei ole heksadesimaalitavuja (numeroiden 0-9 ja A-F pareja, esimerkiksi 12 34).</translation>
    </message>
    <message>
        <source>Not written: %1 bytes is too long; a value holds at most %2 bytes.</source>
        <translation>Ei kirjoitettu: %1 tavua on liian pitkä; arvossa on enintään %2 tavua.</translation>
    </message>
    <message>
        <source>writing...</source>
        <translation>kirjoitetaan...</translation>
    </message>
    <message>
        <source>written %1</source>
        <translation>kirjoitettu %1</translation>
    </message>
    <message>
        <source>Point %1 written; reading it back.</source>
        <translation>Piste %1 kirjoitettu; luetaan takaisin.</translation>
    </message>
    <message>
        <source>ERROR: not written</source>
        <translation>ERROR: ei kirjoitettu</translation>
    </message>
    <message>
        <source>Point %1: the write answered ERROR: the controller refused the value or did not answer.</source>
        <translation>Piste %1: kirjoitus vastasi ERROR: säädin hylkäsi arvon tai ei vastannut.</translation>
    </message>
    <message>
        <source>ERROR</source>
        <translation>ERROR</translation>
    </message>
    <message>
        <source>Point %1: ERROR: the controller did not answer, or it does not know this point.</source>
        <translation>Piste %1: ERROR: säädin ei vastannut, tai se ei tunne tätä pistettä.</translation>
    </message>
    <message>
        <source>OK %1</source>
        <translation>OK %1</translation>
    </message>
    <message>
        <source>not done: %1</source>
        <translation>ei tehty: %1</translation>
    </message>
    <message>
        <source>The list %1 cannot be read: %2</source>
        <translation>Listaa %1 ei voi lukea: %2</translation>
    </message>
    <message>
        <source>The list %1 is too large to be a list of points.</source>
        <translation>Tiedosto %1 on liian suuri pistelistaksi.</translation>
    </message>
    <message>
        <source>no point number (1 to 4 hexadecimal digits)</source>
        <translation>ei pisteen numeroa (1-4 heksadesimaalinumeroa)</translation>
    </message>
    <message>
        <source>the watch column is neither 0 nor 1</source>
        <translation>seurantasarake ei ole 0 eikä 1</translation>
    </message>
    <message>
        <source>the point is in the list twice</source>
        <translation>piste on listalla kahdesti</translation>
    </message>
    <message>
        <source>a quotation mark is not closed</source>
        <translation>lainausmerkkiä ei ole suljettu</translation>
    </message>
    <message>
        <source>The list %1 was not loaded: line %2: %3.</source>
        <translation>Listaa %1 ei ladattu: rivi %2: %3.</translation>
    </message>
    <message numerus="yes">
        <source>%n point(s) loaded from %1.</source>
        <translation>
            <numerusform>%n piste ladattu tiedostosta %1.</numerusform>
            <numerusform>%n pistettä ladattu tiedostosta %1.</numerusform>
        </translation>
    </message>
    <message>
        <source>The list was not saved to %1: %2</source>
        <translation>Listaa ei tallennettu tiedostoon %1: %2</translation>
    </message>
    <message>
        <source>The list was saved to %1.</source>
        <translation>Lista tallennettu tiedostoon %1.</translation>
    </message>
    <message>
        <source>Open a list of points</source>
        <translation>Avaa pistelista</translation>
    </message>
    <message>
        <source>Lists of points (*.csv);;All files (*)</source>
        <translation>Pistelistat (*.csv);;Kaikki tiedostot (*)</translation>
    </message>
    <message>
        <source>Save the list of points</source>
        <translation>Tallenna pistelista</translation>
    </message>
    <message>
        <source>ERROR: not written: %1</source>
        <translation>ERROR: ei kirjoitettu: %1</translation>
    </message>
    <message>
        <source>Point %1: the write answered ERROR: %2</source>
        <translation>Piste %1: kirjoitus vastasi ERROR: %2</translation>
    </message>
    <message>
        <source>ERROR: %1</source>
        <translation>ERROR: %1</translation>
    </message>
    <message>
        <source>Point %1: ERROR: %2</source>
        <translation>Piste %1: ERROR: %2</translation>
    </message>
</context>
<context>
    <name>points::TrendChart</name>
    <message>
        <source>Trend of point %1</source>
        <translation>Pisteen %1 trendi</translation>
    </message>
    <message>
        <source>Trend: choose a point with a numeric value</source>
        <translation>Trendi: valitse piste, jonka arvo on luku</translation>
    </message>
</context>
</TS>
