-- The report tables: the last report only. Each starts with an auto-number
-- key; the columns stand in the order the record sets bind them, which is
-- also the order the report templates read them. Texts are UTF-8, declared
-- as the record sets bind them (ODBC clients see SQL_VARCHAR of 255); SQLite
-- does not enforce the length and stores a longer text whole.

CREATE TABLE Info_tbl (
    Record_ID INTEGER PRIMARY KEY AUTOINCREMENT,
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
    sSunLocation VARCHAR(255)
);

CREATE TABLE Observation_tbl (
    Record_ID INTEGER PRIMARY KEY AUTOINCREMENT,
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
    sTarget_Fore VARCHAR(255)
);

CREATE TABLE Result_tbl (
    Record_ID INTEGER PRIMARY KEY AUTOINCREMENT,
    sStationSt VARCHAR(255),
    sStationEn VARCHAR(255),
    dDis_Go REAL,
    dDis_Back REAL,
    HeightAvg_Go REAL,
    HeightAvg_Back REAL,
    HeightAvg REAL
);
