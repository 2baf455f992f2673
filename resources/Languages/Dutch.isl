; Quillane interface texts: Dutch

[FrmQuillane]
Caption=Quillane
BtnOpen.Caption=&Openen
BtnSaveAs.Caption=Op&slaan als
BtnNewVer.Caption=Help
BtnFit.Hint=Passend
BtnReal.Hint=Ware grootte
BtnZoomOut.Hint=Inzoomen
BtnZoomIn.Hint=Uitzoomen
TabSheet1.Caption=Standaard
TabSheet2.Caption=Extra
Label6.Caption=Positie
BtnLeft.Hint=Links
BtnTop.Hint=Boven
BtnRight.Hint=Rechts
BtnBottom.Hint=Onder
Label8.Caption=Afstand
Label7.Caption=Grootte
Label10.Caption=Transparantie
Label12.Caption=Kleur
RadioButtonColor.Caption=In kleur
RadioButtonH.Caption=Grijs
RadioButtonBW.Caption=Zwart && wit
Label14.Caption=Alfakanaal
CheckBoxRemoveAlpa.Caption=Alfakanaal verwijderen
Label11.Caption=Achtergrondkleur
CheckBoxWave.Caption=Golf
Label3.Caption=Amplitude
Label4.Caption=Golflengte
Label5.Caption=Fase
M_Files.Caption=&Bestand
M_Open.Caption=&Openen...
M_SaveAs.Caption=Op&slaan als...
M_Close.Caption=A&fsluiten
M_Language.Caption=&Talen
M_English.Caption=Engels
M_German.Caption=Duits
M_Spanish.Caption=Spaans
M_French.Caption=Frans
M_Italian.Caption=Italiaans
M_Dutch.Caption=Nederlands
OpenPixoranDialog1.Title=Afbeelding openen
SavePixoranDialog1.Title=Opslaan als

[Messages]
Ms_Error=Fout
Ms_OpenError=Kan het bestand niet openen
Ms_AppError=Toepassingsfout
