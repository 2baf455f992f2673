; Quillane interface texts: Italian

[FrmQuillane]
Caption=Quillane
BtnOpen.Caption=&Apri
BtnSaveAs.Caption=&Salva con nome
BtnNewVer.Caption=Guida
BtnFit.Hint=Adatta
BtnReal.Hint=Dimensioni reali
BtnZoomOut.Hint=Ingrandisci
BtnZoomIn.Hint=Riduci
TabSheet1.Caption=Standard
TabSheet2.Caption=Avanzate
Label6.Caption=Posizione
BtnLeft.Hint=Sinistra
BtnTop.Hint=Sopra
BtnRight.Hint=Destra
BtnBottom.Hint=Sotto
Label8.Caption=Spaziatura
Label7.Caption=Dimensione
Label10.Caption=Trasparenza
Label12.Caption=Colore
RadioButtonColor.Caption=A colori
RadioButtonH.Caption=Grigio
RadioButtonBW.Caption=Bianco && nero
Label14.Caption=Canale alfa
CheckBoxRemoveAlpa.Caption=Rimuovi il canale alfa
Label11.Caption=Colore di sfondo
CheckBoxWave.Caption=Onda
Label3.Caption=Ampiezza
Label4.Caption=Lunghezza d'onda
Label5.Caption=Fase
M_Files.Caption=&File
M_Open.Caption=&Apri...
M_SaveAs.Caption=&Salva con nome...
M_Close.Caption=&Esci
M_Language.Caption=&Lingue
M_English.Caption=Inglese
M_German.Caption=Tedesco
M_Spanish.Caption=Spagnolo
M_French.Caption=Francese
M_Italian.Caption=Italiano
M_Dutch.Caption=Olandese
OpenPixoranDialog1.Title=Apri immagine
SavePixoranDialog1.Title=Salva con nome

[Messages]
Ms_Error=Errore
Ms_OpenError=Impossibile aprire il file
Ms_AppError=Errore dell'applicazione
