<?xml version="1.0" encoding="utf-8"?>
<!DOCTYPE TS>
<TS version="2.1" language="en">
<context>
    <name>MyDocument</name>
    <message numerus="yes">
        <source>%n file(s) were not added</source>
        <translation>
            <numerusform>%n file was not added</numerusform>
            <numerusform>%n files were not added</numerusform>
        </translation>
    </message>
</context>
<context>
    <name>ODMyDocumentWindow</name>
    <message numerus="yes">
        <source>%n item(s)</source>
        <translation>
            <numerusform>%n item</numerusform>
            <numerusform>%n items</numerusform>
        </translation>
    </message>
</context>
<context>
    <name>vcBatchTally</name>
    <message numerus="yes">
        <source>%n file(s) converted, %1 failed.</source>
        <translation>
            <numerusform>%n file converted, %1 failed.</numerusform>
            <numerusform>%n files converted, %1 failed.</numerusform>
        </translation>
    </message>
    <message numerus="yes">
        <source>0 files converted, %n stopped.</source>
        <translation>
            <numerusform>0 files converted, %n stopped.</numerusform>
            <numerusform>0 files converted, %n stopped.</numerusform>
        </translation>
    </message>
    <message numerus="yes">
        <source>%n file(s) converted.</source>
        <translation>
            <numerusform>%n file converted.</numerusform>
            <numerusform>%n files converted.</numerusform>
        </translation>
    </message>
</context>
</TS>
