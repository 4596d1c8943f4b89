-- The archive: every report written, kept beside the last-report tables and
-- written in the same transaction. Report_tbl holds one row per report; the
-- three archive tables hold the rows of Info_tbl, Result_tbl and
-- Observation_tbl with the report's id in front. Record_ID numbers a
-- report's rows from 1 in the order they were written. Ids are given by the
-- writer inside its transaction, so the statements are plain SQL that
-- SQLite and PostgreSQL both take. Every statement creates what is missing
-- only: running the file again keeps every archived report.
-- Checks holds the outcome of the limit checks as they were when the report
-- was written (NULL when none ran), so that a reprint flags the stations it
-- flagged then, whatever the limits say later.

CREATE TABLE IF NOT EXISTS Report_tbl (
    Report_ID INTEGER NOT NULL PRIMARY KEY,
    Written VARCHAR(20) NOT NULL,
    UserName VARCHAR(255),
    HostName VARCHAR(255),
    FileName VARCHAR(255),
    LineName VARCHAR(255),
    Grade INTEGER,
    Stations INTEGER,
    Length_km DOUBLE PRECISION,
    Height_m DOUBLE PRECISION,
    Checks TEXT
);

CREATE INDEX IF NOT EXISTS Report_tbl_Written ON Report_tbl (Written);

CREATE INDEX IF NOT EXISTS Report_tbl_LineName ON Report_tbl (LineName);

CREATE TABLE IF NOT EXISTS InfoArchive_tbl (
    Report_ID INTEGER NOT NULL REFERENCES Report_tbl (Report_ID),
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
    PRIMARY KEY (Report_ID, Record_ID)
);

CREATE TABLE IF NOT EXISTS ResultArchive_tbl (
    Report_ID INTEGER NOT NULL REFERENCES Report_tbl (Report_ID),
    Record_ID INTEGER NOT NULL,
    sStationSt VARCHAR(255),
    sStationEn VARCHAR(255),
    dDis_Go DOUBLE PRECISION,
    dDis_Back DOUBLE PRECISION,
    HeightAvg_Go DOUBLE PRECISION,
    HeightAvg_Back DOUBLE PRECISION,
    HeightAvg DOUBLE PRECISION,
    PRIMARY KEY (Report_ID, Record_ID)
);

CREATE TABLE IF NOT EXISTS ObservationArchive_tbl (
    Report_ID INTEGER NOT NULL REFERENCES Report_tbl (Report_ID),
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
    PRIMARY KEY (Report_ID, Record_ID)
);
