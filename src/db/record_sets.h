#pragma once

// The record sets of the three report tables. Each binds its table's columns
// in the table's own order; the key Record_ID is an auto-number that the
// database assigns. Texts are UTF-8 in the members.

#include <cstdint>
#include <string>

#include "db/odbc.h"
#include "levelling/report_header.h"
#include "levelling/totals.h"

namespace lorvex::db {

// Info_tbl: the report header typed in the main window, one row.
class COrInfoSet final : public CRecordset {
  public:
    explicit COrInfoSet(CDatabase* db = nullptr);

    std::string GetDefaultConnect() const override;
    std::string GetDefaultSQL() const override;
    void DoFieldExchange(CFieldExchange& fx) override;

    void Assign(const ReportHeader& header);
    ReportHeader Header() const;

    std::int32_t m_Record_ID = 0;
    std::string m_sStationStGo;
    std::string m_sStationEnGo;
    std::string m_sStationStBack;
    std::string m_sStationEnBack;
    std::string m_sHourSt;
    std::string m_sMinSt;
    std::string m_sHourEn;
    std::string m_sMinEn;
    std::string m_sYear;
    std::string m_sMonth;
    std::string m_sDay;
    std::string m_sWeather;
    std::string m_sImaging;
    std::string m_sTemperature;
    std::string m_sCloud;
    std::string m_sWind;
    std::string m_sRoad;
    std::string m_sSunLocation;
};

// Observation_tbl: one row per station, all texts.
class COrObservationSet final : public CRecordset {
  public:
    explicit COrObservationSet(CDatabase* db = nullptr);

    std::string GetDefaultConnect() const override;
    std::string GetDefaultSQL() const override;
    void DoFieldExchange(CFieldExchange& fx) override;

    void Assign(const ObservationRow& row);
    ObservationRow Row() const;

    std::int32_t m_Record_ID = 0;
    std::string m_sStation;
    std::string m_sDis_Back;
    std::string m_sDis_Fore;
    std::string m_sDistance_Error;
    std::string m_sSigma_d;
    std::string m_sBack_I;
    std::string m_sFore_I;
    std::string m_sBack_II;
    std::string m_sFore_II;
    std::string m_sFore_Back_I;
    std::string m_sFore_Back_II;
    std::string m_sFore_Back;
    std::string m_sFBI_Height;
    std::string m_sFBII_Height;
    std::string m_sH;
    std::string m_sTarget_Back;
    std::string m_sTarget_Fore;
};

// Result_tbl: the line totals, one row. HeightAvg_Go and HeightAvg_Back are
// not computed for a line taken as one section: IsFieldNull tells whether the
// row holds a value for them.
class COrResultSet final : public CRecordset {
  public:
    explicit COrResultSet(CDatabase* db = nullptr);

    std::string GetDefaultConnect() const override;
    std::string GetDefaultSQL() const override;
    void DoFieldExchange(CFieldExchange& fx) override;

    // After AddNew: copies the row, marking absent optional values null.
    void Assign(const ResultRow& row);
    ResultRow Row() const;

    std::int32_t m_Record_ID = 0;
    std::string m_sStationSt;
    std::string m_sStationEn;
    double m_dDis_Go = 0.0;
    double m_dDis_Back = 0.0;
    double m_HeightAvg_Go = 0.0;
    double m_HeightAvg_Back = 0.0;
    double m_HeightAvg = 0.0;
};

}  // namespace lorvex::db
