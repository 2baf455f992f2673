object FrmQuillane: TFrmQuillane
  Left = 183
  Top = 120
  Width = 740
  Height = 540
  Caption = 'Quillane'
  Color = 16183522
  Constraints.MinHeight = 460
  Constraints.MinWidth = 600
  Font.Color = clWindowText
  Font.Height = -11
  Font.Name = 'Tahoma'
  Font.Style = []
  Menu = CvMainMenu1
  Position = poScreenCenter
  Scaled = False
  OnCreate = FormCreate
  OnDestroy = FormDestroy
  PixelsPerInch = 96
  object CvPanel1: TCvPanel
    Left = 0
    Top = 0
    Width = 732
    Height = 75
    Align = alTop
    BorderOuter = fsNone
    GradientColorStyle = gcsCustom
    GradientColorStart = 16183522
    GradientColorStop = 16311512
    VisualStyle = vsGradient
    TabOrder = 0
    object Image1: TImage
      Left = 0
      Top = 0
      Width = 732
      Height = 75
      Align = alClient
      Stretch = True
    end
    object BtnOpen: TCvToolButton
      Left = 5
      Top = 10
      Width = 99
      Height = 65
      Caption = '&Open'
      GradientColorStyle = gcsCustom
      ImageIndex = 0
      Images = ImageListBar
      Layout = blGlyphTop
      ShowCaption = True
      UseToolbarShowCaption = False
      SelectionColorStart = 15979149
      SelectionColorStop = 14789433
      SelectionFrameColor = 13664560
      Transparent = True
      VisualStyle = vsGradient
      OnClick = M_OpenClick
    end
    object BtnSaveAs: TCvToolButton
      Left = 107
      Top = 10
      Width = 99
      Height = 65
      Caption = '&Save As'
      DisabledIndex = 2
      Enabled = False
      GradientColorStyle = gcsCustom
      ImageIndex = 1
      Images = ImageListBar
      Layout = blGlyphTop
      ShowCaption = True
      UseToolbarShowCaption = False
      SelectionColorStart = 15979149
      SelectionColorStop = 14789433
      SelectionFrameColor = 13664560
      Transparent = True
      VisualStyle = vsGradient
      OnClick = M_SaveAsClick
    end
    object BtnNewVer: TCvToolButton
      Left = 619
      Top = 10
      Width = 99
      Height = 65
      Anchors = [akTop, akRight]
      Caption = 'Help'
      GradientColorStyle = gcsCustom
      ImageIndex = 3
      Images = ImageListBar
      Layout = blGlyphTop
      ShowCaption = True
      UseToolbarShowCaption = False
      SelectionColorStart = 15979149
      SelectionColorStop = 14789433
      SelectionFrameColor = 13664560
      Transparent = True
      VisualStyle = vsGradient
      OnClick = BtnNewVerClick
    end
  end
  object CvStatusBar1: TCvStatusBar
    Left = 0
    Top = 463
    Width = 732
    Height = 19
    Align = alBottom
    BorderOuter = fsFlat
    BorderSides = [sdTop]
    GradientColorStyle = gcsCustom
    GradientColorStart = 16183522
    GradientColorStop = 16112549
    VisualStyle = vsGradient
    TabOrder = 2
    object CvStatusPane1: TCvStatusPane
      Left = 1
      Top = 1
      Width = 730
      Height = 17
      Align = alClient
      Transparent = True
    end
  end
  object CvPanel2: TCvPanel
    Left = 0
    Top = 75
    Width = 732
    Height = 388
    Align = alClient
    BorderOuter = fsNone
    BorderColor = 16183522
    BorderWidth = 5
    Color = 16183522
    TabOrder = 1
    object CvPanel4: TCvPanel
      Left = 5
      Top = 5
      Width = 467
      Height = 378
      Align = alClient
      BorderOuter = fsFlat
      Color = 16183522
      TabOrder = 0
      object PixoranDis: TPixoran
        Left = 1
        Top = 1
        Width = 465
        Height = 340
        Align = alClient
        Background = clBtnFace
        BorderStyle = bsNone
        Ctl3D = False
        LegacyBitmap = False
        ZoomFilter = 9
        BackgroundStyle = pxbsChessboard
        LayerOptions = [loAllowMultiSelect, loAutoUndoChangesByUser, loAutoPromptForImage, loAutoFixBorders, loResizeOnRotate, loDragSelection, loSwapBackgroundProps, loShowRichTextToolbar, loAllowReturnsInRichText]
        MouseWheelParams.Action = pxmwZoom
        TabStop = True
        TabOrder = 0
      end
      object CvPanel5: TCvPanel
        Left = 1
        Top = 341
        Width = 465
        Height = 36
        Align = alBottom
        BorderOuter = fsNone
        Color = 16183522
        TabOrder = 1
        object CvPanel6: TCvPanel
          Left = 167
          Top = 2
          Width = 131
          Height = 32
          Anchors = [akTop]
          BorderOuter = fsNone
          Color = 16183522
          TabOrder = 0
          object BtnFit: TCvToolButton
            Left = 8
            Top = 5
            Width = 25
            Height = 25
            Hint = 'Fit'
            GradientColorStyle = gcsCustom
            ImageIndex = 3
            Images = ImageListBtn
            ParentShowHint = False
            SelectionColorStart = 15979149
            SelectionColorStop = 14789433
            SelectionFrameColor = 13664560
            ShowCaption = False
            ShowHint = True
            VisualStyle = vsGradient
            OnClick = BtnFitClick
          end
          object BtnReal: TCvToolButton
            Left = 38
            Top = 5
            Width = 25
            Height = 25
            Hint = 'Real size'
            GradientColorStyle = gcsCustom
            ImageIndex = 4
            Images = ImageListBtn
            ParentShowHint = False
            SelectionColorStart = 15979149
            SelectionColorStop = 14789433
            SelectionFrameColor = 13664560
            ShowCaption = False
            ShowHint = True
            VisualStyle = vsGradient
            OnClick = BtnRealClick
          end
          object BtnZoomOut: TCvToolButton
            Left = 68
            Top = 5
            Width = 25
            Height = 25
            Hint = 'Zoom in'
            GradientColorStyle = gcsCustom
            ImageIndex = 5
            Images = ImageListBtn
            ParentShowHint = False
            SelectionColorStart = 15979149
            SelectionColorStop = 14789433
            SelectionFrameColor = 13664560
            ShowCaption = False
            ShowHint = True
            VisualStyle = vsGradient
            OnClick = BtnZoomOutClick
          end
          object BtnZoomIn: TCvToolButton
            Left = 98
            Top = 5
            Width = 25
            Height = 25
            Hint = 'Zoom out'
            GradientColorStyle = gcsCustom
            ImageIndex = 6
            Images = ImageListBtn
            ParentShowHint = False
            SelectionColorStart = 15979149
            SelectionColorStop = 14789433
            SelectionFrameColor = 13664560
            ShowCaption = False
            ShowHint = True
            VisualStyle = vsGradient
            OnClick = BtnZoomInClick
          end
        end
      end
    end
    object CvPageControl1: TCvPageControl
      Left = 477
      Top = 5
      Width = 250
      Height = 378
      ActivePage = TabSheet1
      Align = alRight
      TabStyle = tsRoundCorners
      TabOrder = 1
      object TabSheet1: TCvTabSheet
        Caption = 'Standard'
        Color = 16183522
        object CvPanel3: TCvPanel
          Left = 0
          Top = 0
          Width = 246
          Height = 352
          Align = alClient
          BorderOuter = fsNone
          BorderColor = 16183522
          BorderWidth = 6
          Color = 16183522
          TabOrder = 0
          object CvGroupBox1: TCvGroupBox
            Left = 6
            Top = 6
            Width = 234
            Height = 111
            Align = alTop
            Caption = ' '
            Color = 16183522
            GradientColorStyle = gcsCustom
            GradientColorStop = 15853777
            GroupStyle = gsUnderline
            TabOrder = 0
            object Label6: TLabel
              Left = 8
              Top = 2
              Width = 44
              Height = 13
              Caption = 'Postion'
              Font.Color = clNavy
              Font.Height = -11
              Font.Name = 'Tahoma'
              Font.Style = [fsBold]
              ParentFont = False
              Transparent = True
            end
            object Image2: TImage
              Left = 52
              Top = 53
              Width = 23
              Height = 17
            end
            object BtnLeft: TCvBmpButton
              Tag = 1
              Left = 14
              Top = 50
              Width = 33
              Height = 23
              Hint = 'Left'
              Bitmaps.TransparentColor = clOlive
              GroupIndex = 2
              ParentShowHint = False
              ShowHint = True
              ShowFocus = False
              TabStop = False
              OnClick = BtnLeftClick
            end
            object BtnTop: TCvBmpButton
              Tag = 2
              Left = 47
              Top = 24
              Width = 33
              Height = 23
              Hint = 'Top'
              Bitmaps.TransparentColor = clOlive
              GroupIndex = 2
              ParentShowHint = False
              ShowHint = True
              ShowFocus = False
              TabStop = False
              OnClick = BtnLeftClick
            end
            object BtnRight: TCvBmpButton
              Tag = 3
              Left = 78
              Top = 50
              Width = 33
              Height = 23
              Hint = 'Right'
              Bitmaps.TransparentColor = clOlive
              GroupIndex = 2
              ParentShowHint = False
              ShowHint = True
              ShowFocus = False
              TabStop = False
              OnClick = BtnLeftClick
            end
            object BtnBottom: TCvBmpButton
              Tag = 4
              Left = 47
              Top = 75
              Width = 33
              Height = 23
              Hint = 'Bottom'
              Bitmaps.TransparentColor = clOlive
              GroupIndex = 2
              Down = True
              ParentShowHint = False
              ShowHint = True
              ShowFocus = False
              TabStop = False
              OnClick = BtnLeftClick
            end
            object Label8: TLabel
              Left = 140
              Top = 38
              Width = 29
              Height = 13
              Caption = 'Space'
              Transparent = True
            end
            object SpinEditSpc: TCvSpinEdit
              Left = 140
              Top = 54
              Width = 61
              Height = 21
              AllowBlank = True
              AllowKeyEdit = True
              FlatButtons = True
              FrameVisible = True
              Max = 500
              Min = -500
              TabOrder = 0
              OnChange = SpinEditSpcChange
            end
          end
          object CvGroupBox2: TCvGroupBox
            Left = 6
            Top = 117
            Width = 234
            Height = 63
            Align = alTop
            Caption = ' '
            Color = 16183522
            GradientColorStyle = gcsCustom
            GradientColorStop = 15853777
            GroupStyle = gsUnderline
            TabOrder = 1
            object Label7: TLabel
              Left = 8
              Top = 2
              Width = 24
              Height = 13
              Caption = 'Size'
              Font.Color = clNavy
              Font.Height = -11
              Font.Name = 'Tahoma'
              Font.Style = [fsBold]
              ParentFont = False
              Transparent = True
            end
            object Label9: TLabel
              Left = 196
              Top = 30
              Width = 27
              Height = 13
              Caption = '100%'
              Transparent = True
            end
            object TrackBarSize: TCvTrackBar
              Left = 8
              Top = 26
              Width = 181
              Height = 24
              Max = 100
              ShowTicks = False
              ThumbStyle = tsCustom
              TrackColor = 16183522
              TrackFrame = fsFlat
              TrackFrameColor = 13408306
              TrackOffset = 10
              TrackWidth = 4
              TabOrder = 0
              OnChange = TrackBarTranBeginChange
            end
          end
          object CvGroupBox4: TCvGroupBox
            Left = 6
            Top = 180
            Width = 234
            Height = 89
            Align = alTop
            Caption = ' '
            Color = 16183522
            GradientColorStyle = gcsCustom
            GradientColorStop = 15853777
            GroupStyle = gsUnderline
            TabOrder = 2
            object Label10: TLabel
              Left = 8
              Top = 2
              Width = 80
              Height = 13
              Caption = 'Transparency'
              Font.Color = clNavy
              Font.Height = -11
              Font.Name = 'Tahoma'
              Font.Style = [fsBold]
              ParentFont = False
              Transparent = True
            end
            object Label1: TLabel
              Left = 196
              Top = 28
              Width = 15
              Height = 13
              Caption = '0%'
              Transparent = True
            end
            object Label2: TLabel
              Left = 196
              Top = 58
              Width = 27
              Height = 13
              Caption = '100%'
              Transparent = True
            end
            object TrackBarTranBegin: TCvTrackBar
              Left = 8
              Top = 24
              Width = 181
              Height = 24
              Max = 100
              ShowTicks = False
              ThumbStyle = tsCustom
              TrackColor = 16183522
              TrackFrame = fsFlat
              TrackFrameColor = 13408306
              TrackOffset = 10
              TrackWidth = 4
              TabOrder = 0
              OnChange = TrackBarTranBeginChange
            end
            object TrackBarTranEnd: TCvTrackBar
              Left = 8
              Top = 54
              Width = 181
              Height = 24
              Max = 100
              ShowTicks = False
              ThumbStyle = tsCustom
              TrackColor = 16183522
              TrackFrame = fsFlat
              TrackFrameColor = 13408306
              TrackOffset = 10
              TrackWidth = 4
              TabOrder = 1
              OnChange = TrackBarTranBeginChange
            end
          end
          object CvGroupBox5: TCvGroupBox
            Left = 6
            Top = 269
            Width = 234
            Height = 60
            Align = alTop
            Caption = ' '
            Color = 16183522
            GradientColorStyle = gcsCustom
            GradientColorStop = 15853777
            GroupStyle = gsUnderline
            TabOrder = 3
            object Label12: TLabel
              Left = 8
              Top = 2
              Width = 30
              Height = 13
              Caption = 'Color'
              Font.Color = clNavy
              Font.Height = -11
              Font.Name = 'Tahoma'
              Font.Style = [fsBold]
              ParentFont = False
              Transparent = True
            end
            object RadioButtonColor: TCvRadioButton
              Left = 12
              Top = 26
              Width = 80
              Height = 17
              Caption = 'Colorful'
              Checked = True
              HotTrack = True
              Transparent = True
              TabOrder = 0
              TabStop = True
              OnClick = TrackBarTranBeginChange
            end
            object RadioButtonH: TCvRadioButton
              Left = 100
              Top = 26
              Width = 80
              Height = 17
              Caption = 'Gray'
              HotTrack = True
              Transparent = True
              TabOrder = 1
              OnClick = TrackBarTranBeginChange
            end
            object RadioButtonBW: TCvRadioButton
              Left = 12
              Top = 42
              Width = 120
              Height = 17
              Caption = 'Black && White'
              HotTrack = True
              Transparent = True
              Visible = False
              TabOrder = 2
              OnClick = TrackBarTranBeginChange
            end
          end
        end
      end
      object TabSheet2: TCvTabSheet
        Caption = 'Additional'
        Color = 16183522
        object CvPanel7: TCvPanel
          Left = 0
          Top = 0
          Width = 246
          Height = 352
          Align = alClient
          BorderOuter = fsNone
          BorderColor = 16183522
          BorderWidth = 6
          Color = 16183522
          TabOrder = 0
          object CvGroupBox6: TCvGroupBox
            Left = 6
            Top = 6
            Width = 234
            Height = 89
            Align = alTop
            Caption = ' '
            Color = 16183522
            GradientColorStyle = gcsCustom
            GradientColorStop = 15853777
            GroupStyle = gsUnderline
            TabOrder = 0
            object Label14: TLabel
              Left = 8
              Top = 2
              Width = 85
              Height = 13
              Caption = 'Alpha Channel'
              Font.Color = clNavy
              Font.Height = -11
              Font.Name = 'Tahoma'
              Font.Style = [fsBold]
              ParentFont = False
              Transparent = True
            end
            object Label11: TLabel
              Left = 62
              Top = 58
              Width = 110
              Height = 13
              Caption = 'Background fill color'
              Transparent = True
            end
            object CheckBoxRemoveAlpa: TCvCheckBox
              Left = 12
              Top = 28
              Width = 200
              Height = 17
              Caption = 'Remove Alpha Channel'
              HotTrack = True
              Transparent = True
              TabOrder = 0
              OnClick = CheckBoxRemoveAlpaClick
            end
            object PanelBkColor: TCvPanel
              Left = 14
              Top = 56
              Width = 41
              Height = 17
              BorderOuter = fsFlat
              Color = clWhite
              TabOrder = 1
              OnClick = PanelBkColorClick
            end
          end
          object CvGroupBox3: TCvGroupBox
            Left = 6
            Top = 95
            Width = 234
            Height = 138
            Align = alTop
            Caption = ' '
            Color = 16183522
            GradientColorStyle = gcsCustom
            GradientColorStop = 15853777
            GroupStyle = gsUnderline
            TabOrder = 1
            object Label3: TLabel
              Left = 14
              Top = 36
              Width = 51
              Height = 13
              Caption = 'Amplitude'
              Transparent = True
            end
            object Label4: TLabel
              Left = 14
              Top = 68
              Width = 63
              Height = 13
              Caption = 'Wave Length'
              Transparent = True
            end
            object Label5: TLabel
              Left = 14
              Top = 100
              Width = 30
              Height = 13
              Caption = 'Phase'
              Transparent = True
            end
            object CheckBoxWave: TCvCheckBox
              Left = 8
              Top = 0
              Width = 120
              Height = 17
              Caption = 'Wave'
              Font.Color = clNavy
              Font.Height = -11
              Font.Name = 'Tahoma'
              Font.Style = [fsBold]
              HotTrack = True
              ParentFont = False
              Transparent = True
              TabOrder = 0
              OnClick = TrackBarTranBeginChange
            end
            object SpinEditZF: TCvSpinEdit
              Left = 110
              Top = 32
              Width = 61
              Height = 21
              AllowBlank = True
              AllowKeyEdit = True
              FlatButtons = True
              FrameVisible = True
              Value = 10
              TabOrder = 1
              OnChange = TrackBarTranBeginChange
            end
            object SpinEditBC: TCvSpinEdit
              Left = 110
              Top = 64
              Width = 61
              Height = 21
              AllowBlank = True
              AllowKeyEdit = True
              FlatButtons = True
              FrameVisible = True
              Value = 30
              TabOrder = 2
              OnChange = TrackBarTranBeginChange
            end
            object SpinEditXW: TCvSpinEdit
              Left = 110
              Top = 96
              Width = 61
              Height = 21
              AllowBlank = True
              AllowKeyEdit = True
              FlatButtons = True
              FrameVisible = True
              Max = 359
              TabOrder = 3
              OnChange = TrackBarTranBeginChange
            end
          end
        end
      end
    end
    object CvPanel8: TCvPanel
      Left = 472
      Top = 5
      Width = 5
      Height = 378
      Align = alRight
      BorderOuter = fsNone
      Color = 16183522
      TabOrder = 2
    end
  end
  object ImageListBtn: TImageList
  end
  object ImageListBar: TImageList
    Height = 40
    Width = 40
  end
  object CvMainMenu1: TCvMainMenu
    AutoHotkeys = maManual
    Images = ImageListBtn
    MenuStyler = CvMenuFantasyStyler1
    object M_Files: TMenuItem
      Caption = '  &File  '
      OnClick = M_FilesClick
      object M_Open: TMenuItem
        Caption = '&Open...'
        ImageIndex = 0
        OnClick = M_OpenClick
      end
      object M_SaveAs: TMenuItem
        Caption = '&Save As...'
        ImageIndex = 1
        OnClick = M_SaveAsClick
      end
      object N4: TMenuItem
        Caption = '-'
      end
      object M_Close: TMenuItem
        Caption = 'E&xit'
        ShortCut = 32883
        OnClick = M_CloseClick
      end
    end
    object M_Language: TMenuItem
      Caption = '  &Languages  '
      object M_English: TMenuItem
        AutoHotkeys = maManual
        Caption = 'English'
        Checked = True
        GroupIndex = 1
        RadioItem = True
        OnClick = M_EnglishClick
      end
      object M_German: TMenuItem
        Tag = 1
        AutoHotkeys = maManual
        Caption = 'German'
        GroupIndex = 1
        RadioItem = True
        OnClick = M_EnglishClick
      end
      object M_Spanish: TMenuItem
        Tag = 2
        AutoHotkeys = maManual
        Caption = 'Spanish'
        GroupIndex = 1
        RadioItem = True
        OnClick = M_EnglishClick
      end
      object M_French: TMenuItem
        Tag = 3
        AutoHotkeys = maManual
        Caption = 'French'
        GroupIndex = 1
        RadioItem = True
        OnClick = M_EnglishClick
      end
      object M_Italian: TMenuItem
        Tag = 4
        AutoHotkeys = maManual
        Caption = 'Italian'
        GroupIndex = 1
        RadioItem = True
        OnClick = M_EnglishClick
      end
      object M_Dutch: TMenuItem
        Tag = 5
        AutoHotkeys = maManual
        Caption = 'Dutch'
        GroupIndex = 1
        RadioItem = True
        OnClick = M_EnglishClick
      end
    end
  end
  object CvMenuFantasyStyler1: TCvMenuFantasyStyler
    Style = fsCustom
    Background.Color = clWhite
    Background.ColorTo = clWhite
    Background.Position = bpCenter
    IconBar.Color = clWhite
    IconBar.ColorTo = 15979149
    IconBar.GradientDirection = gdVertical
    IconBar.CheckColor = 11005439
    IconBar.CheckColorTo = clWhite
    IconBar.CheckBorder = clNone
    IconBar.RadioColor = 11005439
    IconBar.RadioColorTo = clWhite
    IconBar.RadioBorder = clNone
    SelectedItem.Color = 15979149
    SelectedItem.ColorTo = 14789433
    SelectedItem.CheckBorder = 13664560
    SelectedItem.RadioBorder = 13664560
    SelectedItem.BorderColor = 13664560
    SelectedItem.Font.Color = clWhite
    SelectedItem.Font.Height = -11
    SelectedItem.Font.Name = 'Tahoma'
    SelectedItem.Font.Style = []
    SelectedItem.UseSystemFont = False
    RootItem.Color = 15979149
    RootItem.ColorTo = 14789433
    RootItem.GradientDirection = gdVertical
    RootItem.Font.Color = clWhite
    RootItem.Font.Height = -11
    RootItem.Font.Name = 'Tahoma'
    RootItem.Font.Style = []
    RootItem.UseSystemFont = False
    RootItem.SelectedColor = 15979149
    RootItem.SelectedColorTo = clWhite
    RootItem.SelectedBorderColor = 13664560
    RootItem.SelectedTextColor = clBlack
    RootItem.HoverColor = 15979149
    RootItem.HoverColorTo = 15979149
    RootItem.HoverBorderColor = 13664560
    RootItem.HoverTextColor = clBlack
    SideBar.Font.Color = clWhite
    SideBar.Font.Height = -19
    SideBar.Font.Name = 'Tahoma'
    SideBar.Font.Style = [fsBold, fsItalic]
    Separator.Color = 15130800
    Separator.ColorTo = 15130800
    Separator.GradientType = gtBoth
    Font.Color = clMenuText
    Font.Height = -11
    Font.Name = 'Tahoma'
    Font.Style = []
    UseSystemFont = False
    MenuBorderColor = clNone
  end
  object OpenPixoranDialog1: TOpenPixoranDialog
    Title = #25171#24320#22270#29255
  end
  object SavePixoranDialog1: TSavePixoranDialog
    AutoSetFilter = False
    Filter = 
      'TIFF Bitmap (*.tif;*.tiff;*.fax;*.g3n;*.g3f;*.xif)|*.tif;*.tiff;*.fax;*.g3n;*.g3f;*.xif|CompuServe Bitmap (*.gif)|*.gif|JPEG Bitmap (*.jpg;*.jpeg;*.jpe;*.jif)|*.jpg;*.jpeg;*.jpe;*.jif|PaintBrush (*.pcx)|*.pcx|Windows Bitmap (*.bmp;*.dib;*.rle)|*.bmp;*.dib;*.rle|Windows Icon (*.ico)|*.ico|Portable Network Graphics (*.png)|*.png|Targa Bitmap (*.tga;*.targa;*.vda;*.icb;*.vst;*.pix)|*.tga;*.targa;*.vda;*.icb;*.vst;*.pix|Portable Pixmap, GrayMap, BitMap (*.pxm;*.ppm;*.pgm;*.pbm)|*.pxm;*.ppm;*.pgm;*.pbm|Wireless Bitmap (*.wbmp)|*.wbmp|JPEG2000 (*.jp2)|*.jp2|JPEG2000 Code Stream (*.j2k;*.jpc;*.j2c)|*.j2k;*.jpc;*.j2c|PostScript Level 2 (*.ps;*.eps)|*.ps;*.eps|Adobe PDF (*.pdf)|*.pdf|Multipage PCX (*.dcx)|*.dcx|Photoshop PSD (*.psd)|*.psd'
    Options = [ofOverwritePrompt, ofHideReadOnly, ofEnableSizing]
    Title = #21478#23384#20026
  end
  object ColorDialog1: TColorDialog
  end
end
