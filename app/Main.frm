object fmain: Tfmain
  Left = 0
  Top = 0
  Width = 805
  Height = 456
  Caption = 'Logon-Übersicht'
  Font.Name = 'MS Sans Serif'
  Font.Size = 8
  Position = poScreenCenter
  OnCreate = FormCreate
  OnShow = FormShow
  object DBGrid1: TDBGrid
    Align = alClient
    DataSource = logon1
    Options = [dgTitles, dgColumnResize, dgColLines, dgRowLines, dgTabs, dgRowSelect, dgConfirmDelete, dgCancelOnExit]
    Columns = <
      item
        FieldName = 'Username'
        Title.Caption = 'Username'
        Width = 75
      end
      item
        FieldName = 'Computer'
        Title.Caption = 'Computer'
        Width = 81
      end
      item
        FieldName = 'logontime'
        Title.Caption = 'logontime'
        Width = 120
      end
      item
        FieldName = 'logofftime'
        Title.Caption = 'logofftime'
        Width = 120
      end
      item
        FieldName = 'IP'
        Title.Caption = 'IP'
        Width = 90
      end
      item
        FieldName = 'Betriebssystem'
        Title.Caption = 'Betriebssystem'
        Width = 219
      end
      item
        FieldName = 'Typ'
        Title.Caption = 'Typ'
      end>
  end
  object Panel1: TPanel
    Align = alBottom
    Height = 34
    BevelOuter = bvNone
    Caption = ' '
    object DBNavigator1: TDBNavigator
      Left = 5
      Top = 5
      Width = 88
      Height = 25
      DataSource = logon1
      VisibleButtons = [nbFirst, nbPrior, nbNext, nbLast]
      Flat = True
    end
    object SpeedButton1: TSpeedButton
      Left = 105
      Top = 5
      Width = 23
      Height = 22
      Flat = True
      Glyph.Rows.Strings = (
        '...0000000000...'
        '.00EEEEEEEEEE00.'
        '0EEEEEEEEEEEEEE0'
        '00EEEEEEEEEEEE00'
        '0600EEEEEEEE0060'
        '0666000000006660'
        '0666666666666660'
        '0666666666666660'
        '0666666666666660'
        '066666666..000..'
        '066666666..0A0..'
        '006666666000A000'
        '.006666660AAAAA0'
        '...000000000A000'
        '...........0A0..'
        '...........000..')
      OnClick = SpeedButton1Click
    end
  end
  object Database: TLumoDaoDatabase
    Exclusive = False
    DatabaseType = 'Access'
    ReadOnly = False
    LoginPrompt = False
    UserName = 'Admin'
    SystemDatabase = 'system.mdb'
    SaveUserName = True
    ShowSystemObjects = False
    SmartOpen = True
    EngineType = 2
    PrivateEngine = False
    TrackTransactions = True
    Version = '3.6'
    Workspace = 'DaoWorkspace'
    DefaultCursorDriver = -1
    QueryTimeout = 60
    MdbVersionAutoDetect = False
    UseODBCDialog = True
    UsesDynaDao = True
  end
  object Logon: TLumoDaoTable
    Database = Database
    TableName = 'Logon'
    TableType = 2
    LockType = 3
    ReadOnly = False
    UseRecordCount = True
    UseGetRecNo = True
    UseBrackets = True
    UseDaoProperties = True
    UseCaptions = False
    DatabaseAutoActivate = False
    MasterAutoActivate = True
    AutoFindIndex = True
    CacheBlobs = False
    CacheMemos = False
    CacheLookups = False
    ExportMethod = VisibleFields
    RefreshSorted = False
    QueryDefSQLModify = False
    QueryDefODBCMaxRecords = 0
    ShowGUID = False
    Translation = False
    WarnOnBadDatabase = False
    Filtered = False
    ParamCheck = True
    ProcessMessages = False
    object LogonUsername: TStringField
      FieldName = 'Username'
      Size = 50
    end
    object LogonComputer: TStringField
      FieldName = 'Computer'
      Size = 20
    end
    object Logonlogontime: TDateTimeField
      FieldName = 'logontime'
    end
    object LogonIP: TStringField
      FieldName = 'IP'
      Size = 20
    end
    object LogonBetriebssystem: TStringField
      FieldName = 'Betriebssystem'
      Size = 50
    end
    object LogonTyp: TStringField
      FieldName = 'Typ'
      Size = 10
    end
    object LogonID: TAutoIncField
      FieldName = 'ID'
      ReadOnly = True
    end
    object Logonlogofftime: TDateTimeField
      FieldName = 'logofftime'
    end
  end
  object query: TLumoDaoTable
    Database = Database
    TableType = 2
    LockType = 3
    ReadOnly = False
    UseRecordCount = True
    UseGetRecNo = True
    UseBrackets = True
    UseDaoProperties = True
    UseCaptions = False
    DatabaseAutoActivate = False
    MasterAutoActivate = True
    AutoFindIndex = True
    CacheBlobs = False
    CacheMemos = False
    CacheLookups = False
    ExportMethod = VisibleFields
    RefreshSorted = False
    QueryDefSQLModify = False
    QueryDefODBCMaxRecords = 0
    ShowGUID = False
    Translation = False
    WarnOnBadDatabase = False
    Filtered = False
    ParamCheck = True
    ProcessMessages = False
  end
  object logon1: TDataSource
    DataSet = Logon
  end
end
