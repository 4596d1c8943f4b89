-- The archive in an Access database file (the Windows data folder's),
-- the same tables as archive.sql in Access's own SQL: no IF NOT EXISTS (the
-- program creates only the tables missing, and an index with its table),
-- DOUBLE for double precision, MEMO for texts longer than 255 characters,
-- and named constraints for keys of several columns and for references.

CREATE TABLE Report_tbl (
    Report_ID INTEGER NOT NULL PRIMARY KEY,
    Written VARCHAR(20) NOT NULL,
    UserName VARCHAR(255),
    HostName VARCHAR(255),
    FileName VARCHAR(255),
    LineName VARCHAR(255),
    Grade INTEGER,
    Stations INTEGER,
    Length_km DOUBLE,
    Height_m DOUBLE,
    Checks MEMO
);

CREATE INDEX Report_tbl_Written ON Report_tbl (Written);

CREATE INDEX Report_tbl_LineName ON Report_tbl (LineName);

CREATE TABLE InfoArchive_tbl (
    Report_ID INTEGER NOT NULL,
    Record_ID INTEGER NOT NULL,
    sStationStGo VARCHAR(255),
    sStationEnGo VARCHAR(255),
    sStationStBack VARCHAR(255),
    sStationEnBack VARCHAR(255),
    sHourSt VARCHAR(255),
    sMinSt VARCHAR(255),
    sHourEn VARCHAR(255),
    sMinEn VARCHAR(255),
    sYear VARCHAR(255),
    sMonth VARCHAR(255),
    sDay VARCHAR(255),
    sWeather VARCHAR(255),
    sImaging VARCHAR(255),
    sTemperature VARCHAR(255),
    sCloud VARCHAR(255),
    sWind VARCHAR(255),
    sRoad VARCHAR(255),
    sSunLocation VARCHAR(255),
    CONSTRAINT InfoArchive_tbl_Key PRIMARY KEY (Report_ID, Record_ID),
    CONSTRAINT InfoArchive_tbl_Report FOREIGN KEY (Report_ID) REFERENCES Report_tbl (Report_ID)
);

CREATE TABLE ResultArchive_tbl (
    Report_ID INTEGER NOT NULL,
    Record_ID INTEGER NOT NULL,
    sStationSt VARCHAR(255),
    sStationEn VARCHAR(255),
    dDis_Go DOUBLE,
    dDis_Back DOUBLE,
    HeightAvg_Go DOUBLE,
    HeightAvg_Back DOUBLE,
    HeightAvg DOUBLE,
    CONSTRAINT ResultArchive_tbl_Key PRIMARY KEY (Report_ID, Record_ID),
    CONSTRAINT ResultArchive_tbl_Report FOREIGN KEY (Report_ID) REFERENCES Report_tbl (Report_ID)
);

CREATE TABLE ObservationArchive_tbl (
    Report_ID INTEGER NOT NULL,
    Record_ID INTEGER NOT NULL,
    sStation VARCHAR(255),
    sDis_Back VARCHAR(255),
    sDis_Fore VARCHAR(255),
    sDistance_Error VARCHAR(255),
    sSigma_d VARCHAR(255),
    sBack_I VARCHAR(255),
    sFore_I VARCHAR(255),
    sBack_II VARCHAR(255),
    sFore_II VARCHAR(255),
    sFore_Back_I VARCHAR(255),
    sFore_Back_II VARCHAR(255),
    sFore_Back VARCHAR(255),
    sFBI_Height VARCHAR(255),
    sFBII_Height VARCHAR(255),
    sH VARCHAR(255),
    sTarget_Back VARCHAR(255),
    sTarget_Fore VARCHAR(255),
    CONSTRAINT ObservationArchive_tbl_Key PRIMARY KEY (Report_ID, Record_ID),
    CONSTRAINT ObservationArchive_tbl_Report FOREIGN KEY (Report_ID) REFERENCES Report_tbl (Report_ID)
);
