; Quillane interface texts: German

[FrmQuillane]
Caption=Quillane
BtnOpen.Caption=Ö&ffnen
BtnSaveAs.Caption=&Speichern unter
BtnNewVer.Caption=Hilfe
BtnFit.Hint=Einpassen
BtnReal.Hint=Originalgröße
BtnZoomOut.Hint=Vergrößern
BtnZoomIn.Hint=Verkleinern
TabSheet1.Caption=Standard
TabSheet2.Caption=Erweitert
Label6.Caption=Position
BtnLeft.Hint=Links
BtnTop.Hint=Oben
BtnRight.Hint=Rechts
BtnBottom.Hint=Unten
Label8.Caption=Abstand
Label7.Caption=Größe
Label10.Caption=Transparenz
Label12.Caption=Farbe
RadioButtonColor.Caption=Farbig
RadioButtonH.Caption=Graustufen
RadioButtonBW.Caption=Schwarz && Weiß
Label14.Caption=Alphakanal
CheckBoxRemoveAlpa.Caption=Alphakanal entfernen
Label11.Caption=Hintergrundfarbe
CheckBoxWave.Caption=Welle
Label3.Caption=Amplitude
Label4.Caption=Wellenlänge
Label5.Caption=Phase
M_Files.Caption=&Datei
M_Open.Caption=Ö&ffnen...
M_SaveAs.Caption=&Speichern unter...
M_Close.Caption=&Beenden
M_Language.Caption=S&prachen
M_English.Caption=Englisch
M_German.Caption=Deutsch
M_Spanish.Caption=Spanisch
M_French.Caption=Französisch
M_Italian.Caption=Italienisch
M_Dutch.Caption=Niederländisch
OpenPixoranDialog1.Title=Bild öffnen
SavePixoranDialog1.Title=Speichern unter

[Messages]
Ms_Error=Fehler
Ms_OpenError=Die Datei kann nicht geöffnet werden
Ms_AppError=Anwendungsfehler
