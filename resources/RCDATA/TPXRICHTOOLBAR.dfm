object PXRichToolbar: TPXRichToolbar
  BorderIcons = []
  BorderStyle = bsNone
  BorderWidth = 1
  Color = clWindowFrame
  FormStyle = fsStayOnTop
  Font.Height = -11
  Font.Name = 'Tahoma'
  ShowHint = True
  object pnlToolbar: TPanel
    Left = 0
    Top = 0
    Width = 100
    Height = 32
    BevelOuter = bvNone
    Color = clBtnFace
    ParentColor = False
    object REToolbar: TToolBar
      Left = 0
      Top = 0
      Width = 100
      Height = 32
      Align = alNone
      AutoSize = True
      BorderWidth = 1
      ButtonHeight = 30
      ButtonWidth = 31
      Color = clBtnFace
      Images = imlToolbar
      Indent = 4
      ParentShowHint = False
      PopupMenu = popFunctions
      ShowHint = True
      object btnFont: TToolButton
        ImageIndex = 4
      end
      object pbxFont: TPaintBox
        Width = 126
        Height = 30
      end
      object btnFontSize: TToolButton
        ImageIndex = 10
      end
      object pbxFontColor: TPaintBox
        Width = 20
        Height = 30
      end
      object btnBold: TToolButton
        ImageIndex = 5
        Style = tbsCheck
      end
      object btnItalics: TToolButton
        ImageIndex = 6
        Style = tbsCheck
      end
      object btnUnderline: TToolButton
        ImageIndex = 7
        Style = tbsCheck
      end
      object Panel2: TPanel
        Width = 4
        Height = 30
        BevelOuter = bvNone
      end
      object btnAlign: TToolButton
        DropdownMenu = popAlign
        ImageIndex = 0
        Style = tbsDropDown
      end
      object btnAlignLeft: TToolButton
        Tag = 0
        Grouped = True
        ImageIndex = 0
        Style = tbsCheck
        Visible = False
      end
      object btnAlignCenter: TToolButton
        Tag = 2
        Grouped = True
        ImageIndex = 2
        Style = tbsCheck
        Visible = False
      end
      object btnAlignRight: TToolButton
        Tag = 1
        Grouped = True
        ImageIndex = 1
        Style = tbsCheck
        Visible = False
      end
      object btnAlignJustify: TToolButton
        Tag = 3
        Grouped = True
        ImageIndex = 3
        Style = tbsCheck
        Visible = False
      end
      object Panel3: TPanel
        Width = 4
        Height = 30
        BevelOuter = bvNone
      end
      object btnBullets: TToolButton
        ImageIndex = 8
        Style = tbsCheck
      end
      object btnNumbering: TToolButton
        ImageIndex = 9
        Style = tbsCheck
      end
    end
  end
  object imlToolbar: TImageList
    Height = 24
    Width = 24
  end
  object popAlign: TPopupMenu
    object pitAlignLeft: TMenuItem
      Tag = 0
      Caption = 'Align Text Left'
    end
    object pitAlignRight: TMenuItem
      Tag = 1
      Caption = 'Align Text Right'
    end
    object pitAlignCenter: TMenuItem
      Tag = 2
      Caption = 'Center Text'
    end
    object pitAlignJustify: TMenuItem
      Tag = 3
      Caption = 'Justify Text'
    end
  end
  object popFunctions: TPopupMenu
    object pitCut: TMenuItem
      Caption = 'Cut'
    end
    object pitCopy: TMenuItem
      Caption = 'Copy'
    end
    object pitPaste: TMenuItem
      Caption = 'Paste'
    end
    object N1: TMenuItem
      Caption = '-'
    end
    object pitUndo: TMenuItem
      Caption = 'Undo'
    end
    object pitRedo: TMenuItem
      Caption = 'Redo'
    end
  end
end
