; Quillane interface texts: French

[FrmQuillane]
Caption=Quillane
BtnOpen.Caption=&Ouvrir
BtnSaveAs.Caption=&Enregistrer sous
BtnNewVer.Caption=Aide
BtnFit.Hint=Ajuster
BtnReal.Hint=Taille réelle
BtnZoomOut.Hint=Zoom avant
BtnZoomIn.Hint=Zoom arrière
TabSheet1.Caption=Standard
TabSheet2.Caption=Avancé
Label6.Caption=Position
BtnLeft.Hint=Gauche
BtnTop.Hint=Haut
BtnRight.Hint=Droite
BtnBottom.Hint=Bas
Label8.Caption=Espacement
Label7.Caption=Taille
Label10.Caption=Transparence
Label12.Caption=Couleur
RadioButtonColor.Caption=En couleurs
RadioButtonH.Caption=Gris
RadioButtonBW.Caption=Noir && blanc
Label14.Caption=Canal alpha
CheckBoxRemoveAlpa.Caption=Supprimer le canal alpha
Label11.Caption=Couleur de fond
CheckBoxWave.Caption=Vague
Label3.Caption=Amplitude
Label4.Caption=Longueur d'onde
Label5.Caption=Phase
M_Files.Caption=&Fichier
M_Open.Caption=&Ouvrir...
M_SaveAs.Caption=&Enregistrer sous...
M_Close.Caption=&Quitter
M_Language.Caption=&Langues
M_English.Caption=Anglais
M_German.Caption=Allemand
M_Spanish.Caption=Espagnol
M_French.Caption=Français
M_Italian.Caption=Italien
M_Dutch.Caption=Néerlandais
OpenPixoranDialog1.Title=Ouvrir une image
SavePixoranDialog1.Title=Enregistrer sous

[Messages]
Ms_Error=Erreur
Ms_OpenError=Impossible d'ouvrir le fichier
Ms_AppError=Erreur de l'application
