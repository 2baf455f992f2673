; Quillane interface texts: Spanish

[FrmQuillane]
Caption=Quillane
BtnOpen.Caption=&Abrir
BtnSaveAs.Caption=&Guardar como
BtnNewVer.Caption=Ayuda
BtnFit.Hint=Ajustar
BtnReal.Hint=Tamaño real
BtnZoomOut.Hint=Acercar
BtnZoomIn.Hint=Alejar
TabSheet1.Caption=Estándar
TabSheet2.Caption=Adicional
Label6.Caption=Posición
BtnLeft.Hint=Izquierda
BtnTop.Hint=Arriba
BtnRight.Hint=Derecha
BtnBottom.Hint=Abajo
Label8.Caption=Espacio
Label7.Caption=Tamaño
Label10.Caption=Transparencia
Label12.Caption=Color
RadioButtonColor.Caption=En color
RadioButtonH.Caption=Gris
RadioButtonBW.Caption=Blanco && negro
Label14.Caption=Canal alfa
CheckBoxRemoveAlpa.Caption=Quitar el canal alfa
Label11.Caption=Color de fondo
CheckBoxWave.Caption=Onda
Label3.Caption=Amplitud
Label4.Caption=Longitud de onda
Label5.Caption=Fase
M_Files.Caption=&Archivo
M_Open.Caption=&Abrir...
M_SaveAs.Caption=&Guardar como...
M_Close.Caption=&Salir
M_Language.Caption=&Idiomas
M_English.Caption=Inglés
M_German.Caption=Alemán
M_Spanish.Caption=Español
M_French.Caption=Francés
M_Italian.Caption=Italiano
M_Dutch.Caption=Neerlandés
OpenPixoranDialog1.Title=Abrir imagen
SavePixoranDialog1.Title=Guardar como

[Messages]
Ms_Error=Error
Ms_OpenError=No se puede abrir el archivo
Ms_AppError=Error de la aplicación
