; Quillane interface texts: English

[FrmQuillane]
Caption=Quillane
BtnOpen.Caption=&Open
BtnSaveAs.Caption=&Save As
BtnNewVer.Caption=Help
BtnFit.Hint=Fit
BtnReal.Hint=Real size
BtnZoomOut.Hint=Zoom in
BtnZoomIn.Hint=Zoom out
TabSheet1.Caption=Standard
TabSheet2.Caption=Additional
Label6.Caption=Postion
BtnLeft.Hint=Left
BtnTop.Hint=Top
BtnRight.Hint=Right
BtnBottom.Hint=Bottom
Label8.Caption=Space
Label7.Caption=Size
Label10.Caption=Transparency
Label12.Caption=Color
RadioButtonColor.Caption=Colorful
RadioButtonH.Caption=Gray
RadioButtonBW.Caption=Black && White
Label14.Caption=Alpha Channel
CheckBoxRemoveAlpa.Caption=Remove Alpha Channel
Label11.Caption=Background fill color
CheckBoxWave.Caption=Wave
Label3.Caption=Amplitude
Label4.Caption=Wave Length
Label5.Caption=Phase
M_Files.Caption=&File
M_Open.Caption=&Open...
M_SaveAs.Caption=&Save As...
M_Close.Caption=E&xit
M_Language.Caption=&Languages
M_English.Caption=English
M_German.Caption=German
M_Spanish.Caption=Spanish
M_French.Caption=French
M_Italian.Caption=Italian
M_Dutch.Caption=Dutch
OpenPixoranDialog1.Title=Open Picture
SavePixoranDialog1.Title=Save As

[Messages]
Ms_Error=Error
Ms_OpenError=Can not open file
Ms_AppError=Application error
