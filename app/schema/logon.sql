CREATE TABLE Logon (
  ID COUNTER CONSTRAINT PrimaryKey PRIMARY KEY,
  Username TEXT(50),
  Computer TEXT(20),
  logontime DATETIME,
  logofftime DATETIME,
  IP TEXT(20),
  Betriebssystem TEXT(50),
  Typ TEXT(10)
);
CREATE INDEX logontime ON Logon (logontime);
CREATE INDEX UserComputerLogon ON Logon (Username, Computer, logontime);
