object PXLayerProperties: TPXLayerProperties
  BorderIcons = [biSystemMenu]
  BorderStyle = bsDialog
  Caption = 'Layer Properties'
  ClientWidth = 395
  ClientHeight = 453
  Font.Height = -11
  Font.Name = 'Tahoma'
  Position = poScreenCenter
  ShowHint = True
  object imgBackground: TImage
    Left = 0
    Top = 0
    Width = 395
    Height = 453
    Align = alClient
  end
  object lblSelectedLayer: TLabel
    Left = 12
    Top = 8
    Caption = 'Layer'
    Font.Height = -13
    Font.Name = 'Tahoma'
    Font.Style = [fsBold]
    ParentFont = False
    Transparent = True
  end
  object PageControl1: TPageControl
    Left = 8
    Top = 32
    Width = 379
    Height = 373
    ActivePage = tabGeneral
    object tabGeneral: TTabSheet
      Caption = 'General'
      object lblName: TLabel
        Left = 8
        Top = 10
        Caption = 'Layer Name:'
      end
      object edtName: TEdit
        Left = 8
        Top = 26
        Width = 355
        Height = 21
      end
      object chkLayerVisible: TCheckBox
        Left = 8
        Top = 58
        Width = 170
        Height = 17
        Caption = 'Visible'
      end
      object chkLayerCropped: TCheckBox
        Left = 8
        Top = 78
        Width = 170
        Height = 17
        Caption = 'Crop to Background'
      end
      object chkIsMask: TCheckBox
        Left = 8
        Top = 98
        Width = 170
        Height = 17
        Caption = 'Use as Mask'
      end
      object chkMaskInverted: TCheckBox
        Left = 24
        Top = 118
        Width = 154
        Height = 17
        Caption = 'Inverted'
      end
      object chkPolylineClosed: TCheckBox
        Left = 8
        Top = 138
        Width = 170
        Height = 17
        Caption = 'Polyline Closed'
      end
      object chkLayerLocked: TCheckBox
        Left = 190
        Top = 58
        Width = 170
        Height = 17
        Caption = 'Lock Position'
      end
      object chkAspectRatio: TCheckBox
        Left = 190
        Top = 78
        Width = 170
        Height = 17
        Caption = 'Lock Aspect Ratio'
      end
      object btnResetAR: TButton
        Left = 190
        Top = 98
        Width = 173
        Height = 25
        Caption = 'Restore Aspect Ratio'
      end
      object lblRotate: TLabel
        Left = 8
        Top = 172
        Caption = 'Rotation:'
      end
      object edtRotate: TEdit
        Left = 100
        Top = 168
        Width = 77
        Height = 21
        Text = '0'
      end
      object updRotate: TUpDown
        Associate = edtRotate
        Min = -1000
        Max = 1000
      end
      object lblPosition: TLabel
        Left = 8
        Top = 202
        Caption = 'Position'
      end
      object lblPosX: TLabel
        Left = 8
        Top = 228
        Caption = 'Left:'
      end
      object edtPosX: TEdit
        Left = 60
        Top = 224
        Width = 77
        Height = 21
        Text = '0'
      end
      object updPosX: TUpDown
        Associate = edtPosX
        Min = 0
        Max = 30000
      end
      object lblPosY: TLabel
        Left = 190
        Top = 228
        Caption = 'Top:'
      end
      object edtPosY: TEdit
        Left = 240
        Top = 224
        Width = 77
        Height = 21
        Text = '0'
      end
      object updPosY: TUpDown
        Associate = edtPosY
        Min = 0
        Max = 30000
      end
      object lblWidth: TLabel
        Left = 8
        Top = 256
        Caption = 'Width:'
      end
      object edtWidth: TEdit
        Left = 60
        Top = 252
        Width = 77
        Height = 21
        Text = '0'
      end
      object updWidth: TUpDown
        Associate = edtWidth
        Min = 1
        Max = 30000
        Position = 1
      end
      object lblHeight: TLabel
        Left = 190
        Top = 256
        Caption = 'Height:'
      end
      object edtHeight: TEdit
        Left = 240
        Top = 252
        Width = 77
        Height = 21
        Text = '0'
      end
      object updHeight: TUpDown
        Associate = edtHeight
        Min = 1
        Max = 30000
        Position = 1
      end
      object btnRestoreSize: TButton
        Left = 243
        Top = 288
        Width = 120
        Height = 25
        Caption = 'Reset Size'
      end
    end
    object tabStyle: TTabSheet
      Caption = 'Style'
      object chkBorder: TCheckBox
        Left = 8
        Top = 12
        Width = 90
        Height = 17
        Caption = 'Border:'
      end
      object btnBorderColor: TPXColorButton
        Left = 100
        Top = 8
        Width = 50
        Height = 25
      end
      object lblBorderWidth: TLabel
        Left = 170
        Top = 12
        Caption = 'Width:'
      end
      object edtBorderWidth: TEdit
        Left = 230
        Top = 8
        Width = 77
        Height = 21
        Text = '0'
      end
      object updBorderWidth: TUpDown
        Associate = edtBorderWidth
        Min = 1
        Max = 100
        Position = 1
      end
      object chkFill: TCheckBox
        Left = 8
        Top = 48
        Width = 90
        Height = 17
        Caption = 'Fill:'
      end
      object btnFillColor: TPXColorButton
        Left = 100
        Top = 44
        Width = 50
        Height = 25
      end
      object lblFillOpacity: TLabel
        Left = 170
        Top = 48
        Caption = 'Fill Opacity:'
      end
      object trkFillOpacity: TTrackBar
        Left = 230
        Top = 40
        Width = 133
        Height = 30
        Max = 100
        Position = 100
        TickStyle = tsNone
      end
      object lblGradient: TLabel
        Left = 8
        Top = 84
        Caption = 'Gradient:'
      end
      object cmbGradient: TComboBox
        Left = 100
        Top = 80
        Width = 120
        Style = csDropDownList
        Items.Strings = (
      'None'
      'Horizontal'
      'Vertical'
      'Horz. Center'
      'Vert. Center'
      'Diagonal'
      'Diagonal 2'
      'Diag. Center'
      'Diag. Center 2')
      end
      object btnFillColor2: TPXColorButton
        Left = 230
        Top = 78
        Width = 50
        Height = 25
      end
      object lblOperation: TLabel
        Left = 8
        Top = 120
        Caption = 'Operation:'
      end
      object cmbOperation: TComboBox
        Left = 100
        Top = 116
        Width = 190
        Style = csDropDownList
        Items.Strings = (
      'Normal'
      'Add (Additive)'
      'Sub (Difference)'
      'Div'
      'Mul'
      'Or'
      'And'
      'XOr'
      'Max (Lighten)'
      'Min (Darken)'
      'Average'
      'Screen'
      'Negation'
      'Exclusion'
      'Overlay'
      'Hard Light'
      'Soft Light'
      'XFader'
      'Color Edge'
      'Color Burn'
      'Inverse Color Dodge'
      'Inverse Color Burn'
      'Soft Dodge'
      'Soft Burn'
      'Reflect'
      'Glow'
      'Freeze'
      'Eat'
      'Subtractive'
      'Interpolation'
      'Stamp'
      'Red'
      'Green'
      'Blue'
      'Hue'
      'Saturation'
      'Color'
      'Luminosity')
      end
      object lblOpacity: TLabel
        Left = 8
        Top = 156
        Caption = 'Opacity:'
      end
      object trkOpacity: TTrackBar
        Left = 100
        Top = 148
        Width = 190
        Height = 30
        Max = 100
        Position = 100
        TickStyle = tsNone
      end
      object lblFeather: TLabel
        Left = 8
        Top = 192
        Caption = 'Feather Edges:'
      end
      object edtEdgeFeather: TEdit
        Left = 150
        Top = 188
        Width = 77
        Height = 21
        Text = '0'
      end
      object updEdgeFeather: TUpDown
        Associate = edtEdgeFeather
        Min = 0
        Max = 100
      end
      object lblSoftShadow: TLabel
        Left = 8
        Top = 222
        Caption = 'Soft Shadow:'
      end
      object edtSoftShadow: TEdit
        Left = 150
        Top = 218
        Width = 77
        Height = 21
        Text = '0'
      end
      object updSoftShadow: TUpDown
        Associate = edtSoftShadow
        Min = -100
        Max = 100
      end
      object lblSSIntensity: TLabel
        Left = 8
        Top = 252
        Caption = 'Intensity:'
      end
      object edtSSIntensity: TEdit
        Left = 150
        Top = 248
        Width = 77
        Height = 21
        Text = '0'
      end
      object updSSIntensity: TUpDown
        Associate = edtSSIntensity
        Min = 0
        Max = 100
      end
    end
    object tabShape: TTabSheet
      Caption = 'Shape'
      object lblShape: TLabel
        Left = 8
        Top = 12
        Caption = 'Shape:'
      end
      object cmbShape: TComboBox
        Left = 8
        Top = 28
        Width = 355
        Style = csOwnerDrawFixed
        ItemHeight = 40
      end
      object lblModifier: TLabel
        Left = 8
        Top = 90
        Caption = 'Points:'
      end
      object edtModifier: TEdit
        Left = 100
        Top = 86
        Width = 77
        Height = 21
        Text = '0'
      end
      object updModifier: TUpDown
        Associate = edtModifier
        Min = 0
        Max = 360
      end
    end
    object tabLine: TTabSheet
      Caption = 'Line'
      object lblLineLabel: TLabel
        Left = 8
        Top = 12
        Caption = 'Line Label'
      end
      object lblLabelPosition: TLabel
        Left = 8
        Top = 36
        Caption = 'Position:'
      end
      object cmbLabelPosition: TComboBox
        Left = 100
        Top = 32
        Width = 150
        Style = csDropDownList
        Items.Strings = (
      'Hide'
      'At Start'
      'At End'
      'Above'
      'Below'
      'Above (Auto)'
      'Below (Auto)')
      end
      object chkRulerMode: TCheckBox
        Left = 8
        Top = 64
        Width = 170
        Height = 17
        Caption = 'Ruler Mode'
      end
      object lnkEditText: TLinkLabel
        Left = 190
        Top = 64
        Caption = '<a>Edit Layer Text</a>'
      end
      object lblLineShapes: TLabel
        Left = 8
        Top = 100
        Caption = 'End Shapes'
      end
      object lblStartShape: TLabel
        Left = 8
        Top = 124
        Caption = 'At Start:'
      end
      object cmbStartShape: TComboBox
        Left = 100
        Top = 120
        Width = 150
        Style = csOwnerDrawFixed
        ItemHeight = 20
        Items.Strings = (
      'None'
      'Arrow'
      'Circle'
      'Diamond'
      'Arrow 2'
      'Reverse Arrow'
      'Bar'
      'Dot')
      end
      object lblEndShape: TLabel
        Left = 8
        Top = 156
        Caption = 'At End:'
      end
      object cmbEndShape: TComboBox
        Left = 100
        Top = 152
        Width = 150
        Style = csOwnerDrawFixed
        ItemHeight = 20
        Items.Strings = (
      'None'
      'Arrow'
      'Circle'
      'Diamond'
      'Arrow 2'
      'Reverse Arrow'
      'Bar'
      'Dot')
      end
      object lblShapeSize: TLabel
        Left = 8
        Top = 192
        Caption = 'Size:'
      end
      object edtShapeSize: TEdit
        Left = 100
        Top = 188
        Width = 77
        Height = 21
        Text = '0'
      end
      object updShapeSize: TUpDown
        Associate = edtShapeSize
        Min = 1
        Max = 100
        Position = 1
      end
    end
    object tabText: TTabSheet
      Caption = 'Text'
      object lblText: TLabel
        Left = 8
        Top = 8
        Caption = 'Text:'
      end
      object memText: TMemo
        Left = 8
        Top = 24
        Width = 355
        Height = 150
        WantReturns = False
      end
      object lblFont: TLabel
        Left = 8
        Top = 186
        Caption = 'Font:'
      end
      object edtFontSize: TEdit
        Left = 60
        Top = 182
        Width = 77
        Height = 21
        Text = '0'
      end
      object updFontSize: TUpDown
        Associate = edtFontSize
        Min = 1
        Max = 2000
        Position = 1
      end
      object btnFontColor: TPXColorButton
        Left = 145
        Top = 180
        Width = 50
        Height = 25
      end
      object btnSetFont: TButton
        Left = 243
        Top = 180
        Width = 120
        Height = 25
        Caption = 'Select Font'
      end
      object lblAlignment: TLabel
        Left = 8
        Top = 218
        Caption = 'Alignment:'
      end
      object cmbAlignment: TComboBox
        Left = 100
        Top = 214
        Width = 120
        Style = csDropDownList
        Items.Strings = (
      'Left'
      'Right'
      'Center')
      end
      object lblTextLayout: TLabel
        Left = 8
        Top = 246
        Caption = 'Layout:'
      end
      object cmbTextLayout: TComboBox
        Left = 100
        Top = 242
        Width = 120
        Style = csDropDownList
        Items.Strings = (
      'Top'
      'Bottom'
      'Center')
      end
      object lblTextShape: TLabel
        Left = 8
        Top = 274
        Caption = 'Shape:'
      end
      object cmbTextShape: TComboBox
        Left = 100
        Top = 270
        Width = 120
        Style = csOwnerDrawFixed
        ItemHeight = 20
      end
      object chkReadOnly: TCheckBox
        Left = 240
        Top = 216
        Width = 123
        Height = 17
        Caption = 'Read Only'
      end
      object chkAutoSize: TCheckBox
        Left = 240
        Top = 240
        Width = 123
        Height = 17
        Caption = 'Auto Size'
      end
      object chkWordWrap: TCheckBox
        Left = 240
        Top = 264
        Width = 123
        Height = 17
        Caption = 'Word Wrap'
      end
    end
    object tabAngle: TTabSheet
      Caption = 'Angle'
      object lblStartAngle: TLabel
        Left = 8
        Top = 16
        Caption = 'Start Angle:'
      end
      object edtStartAngle: TEdit
        Left = 100
        Top = 12
        Width = 77
        Height = 21
        Text = '0'
      end
      object updStartAngle: TUpDown
        Associate = edtStartAngle
        Min = -1000
        Max = 1000
      end
      object lblSweepAngle: TLabel
        Left = 8
        Top = 44
        Caption = 'Angle:'
      end
      object edtSweepAngle: TEdit
        Left = 100
        Top = 40
        Width = 77
        Height = 21
        Text = '0'
      end
      object updSweepAngle: TUpDown
        Associate = edtSweepAngle
        Min = -1000
        Max = 1000
      end
      object lblAngleFont: TLabel
        Left = 8
        Top = 80
        Caption = 'Font:'
      end
      object edtAngleFontSize: TEdit
        Left = 60
        Top = 76
        Width = 77
        Height = 21
        Text = '0'
      end
      object updAngleFontSize: TUpDown
        Associate = edtAngleFontSize
        Min = 1
        Max = 2000
        Position = 12
      end
      object btnAngleFontColor: TPXColorButton
        Left = 145
        Top = 74
        Width = 50
        Height = 25
      end
      object btnSetAngleFont: TButton
        Left = 243
        Top = 74
        Width = 120
        Height = 25
        Caption = 'Select Font'
      end
      object btnInvertAngle: TButton
        Left = 8
        Top = 110
        Width = 120
        Height = 25
        Caption = 'Invert Angle'
      end
    end
    object tabAdvanced: TTabSheet
      Caption = 'Advanced'
      object memProps: TMemo
        Left = 8
        Top = 8
        Width = 355
        Height = 276
        ScrollBars = ssVertical
        WordWrap = False
      end
      object btnUpdateProps: TButton
        Left = 8
        Top = 292
        Width = 90
        Height = 25
        Caption = 'Update'
      end
    end
  end
  object pnlButtons: TPanel
    Left = 0
    Top = 409
    Width = 395
    Height = 44
    Align = alBottom
    BevelOuter = bvNone
    ParentColor = True
    object btnOK: TBitBtn
      Left = 228
      Top = 10
      Width = 75
      Height = 25
      Kind = bkOK
    end
    object btnCancel: TBitBtn
      Left = 310
      Top = 10
      Width = 75
      Height = 25
      Kind = bkCancel
    end
  end
end
