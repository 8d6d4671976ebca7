<?xml version="1.0" encoding="utf-8"?>
<!DOCTYPE TS>
<!-- The forms and the update dialog keep the program's original texts, some
     of them English and some Croatian written without diacritics; this is how
     a Croatian till shows them. -->
<TS version="2.1" language="hr_HR">
<context>
    <name>Settings</name>
    <message>
        <source>Postavke</source>
        <translation>Postavke</translation>
    </message>
    <message>
        <source>Settings</source>
        <translation>Postavke</translation>
    </message>
    <message>
        <source>Printer port:</source>
        <translation>Pisač ili port:</translation>
    </message>
    <message>
        <source>Add port</source>
        <translation>Dodaj port</translation>
    </message>
    <message>
        <source>Port name:</source>
        <translation>Naziv porta:</translation>
    </message>
    <message>
        <source>Provjeri azuriranja</source>
        <translation>Provjeri ažuriranja</translation>
    </message>
    <message>
        <source>Version:</source>
        <translation>Inačica:</translation>
    </message>
    <message>
        <source>%1 (created using QT Creator 5)</source>
        <translation>%1</translation>
    </message>
</context>
<context>
    <name>Updates</name>
    <message>
        <source>Dialog</source>
        <translation>Ažuriranje programa</translation>
    </message>
    <message>
        <source>Provjera dostupnosti nove verzije</source>
        <translation>Provjera dostupnosti nove verzije</translation>
    </message>
    <message>
        <source>Close</source>
        <translation>Zatvori</translation>
    </message>
    <message>
        <source>Dogodila se greska prilikom provjere dostupnosti azuriranja! </source>
        <translation>Dogodila se greška prilikom provjere dostupnosti ažuriranja! </translation>
    </message>
    <message>
        <source>Nema dostupnih azuriranja. Vec koristite najnoviju verziju!</source>
        <translation>Nema dostupnih ažuriranja. Već koristite najnoviju verziju!</translation>
    </message>
    <message>
        <source>Dostupna je nova verzija. Dohvat nove verzije u tijeku. Molimo pricekajte!</source>
        <translation>Dostupna je nova verzija. Dohvat nove verzije u tijeku. Molimo pričekajte!</translation>
    </message>
    <message>
        <source>Nova verzija je uspjesno dohvacena. Aplikacija ce se zatvoriti i ponovo pokrenuti!</source>
        <translation>Nova verzija je uspješno dohvaćena. Aplikacija će se zatvoriti i ponovno pokrenuti!</translation>
    </message>
</context>
</TS>
