-- The report tables: the last report only. Each starts with an auto-number
-- key; the columns stand in the order the record sets bind them, which is
-- also the order the report templates read them. Texts are UTF-8 and are
-- stored whole, whatever their length.

CREATE TABLE Info_tbl (
    Record_ID INTEGER PRIMARY KEY AUTOINCREMENT,
    sStationStGo TEXT,
    sStationEnGo TEXT,
    sStationStBack TEXT,
    sStationEnBack TEXT,
    sHourSt TEXT,
    sMinSt TEXT,
    sHourEn TEXT,
    sMinEn TEXT,
    sYear TEXT,
    sMonth TEXT,
    sDay TEXT,
    sWeather TEXT,
    sImaging TEXT,
    sTemperature TEXT,
    sCloud TEXT,
    sWind TEXT,
    sRoad TEXT,
    sSunLocation TEXT
);

CREATE TABLE Observation_tbl (
    Record_ID INTEGER PRIMARY KEY AUTOINCREMENT,
    sStation TEXT,
    sDis_Back TEXT,
    sDis_Fore TEXT,
    sDistance_Error TEXT,
    sSigma_d TEXT,
    sBack_I TEXT,
    sFore_I TEXT,
    sBack_II TEXT,
    sFore_II TEXT,
    sFore_Back_I TEXT,
    sFore_Back_II TEXT,
    sFore_Back TEXT,
    sFBI_Height TEXT,
    sFBII_Height TEXT,
    sH TEXT,
    sTarget_Back TEXT,
    sTarget_Fore TEXT
);

CREATE TABLE Result_tbl (
    Record_ID INTEGER PRIMARY KEY AUTOINCREMENT,
    sStationSt TEXT,
    sStationEn TEXT,
    dDis_Go REAL,
    dDis_Back REAL,
    HeightAvg_Go REAL,
    HeightAvg_Back REAL,
    HeightAvg REAL
);
