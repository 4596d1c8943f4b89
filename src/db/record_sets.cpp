#include "db/record_sets.h"

#include <array>

#include "db/data_source.h"

namespace lorvex::db {

namespace {

// Standard SQL quotes, which keep the name's case on PostgreSQL and which
// SQLite takes as well.
std::string Quoted(const char* name) { return std::string("\"") + name + "\""; }

// The Info_tbl members in column order, parallel to kReportHeaderFields.
constexpr std::array<std::string COrInfoSet::*, 18> kInfoMembers{
    &COrInfoSet::m_sStationStGo,   &COrInfoSet::m_sStationEnGo, &COrInfoSet::m_sStationStBack,
    &COrInfoSet::m_sStationEnBack, &COrInfoSet::m_sHourSt,      &COrInfoSet::m_sMinSt,
    &COrInfoSet::m_sHourEn,        &COrInfoSet::m_sMinEn,       &COrInfoSet::m_sYear,
    &COrInfoSet::m_sMonth,         &COrInfoSet::m_sDay,         &COrInfoSet::m_sWeather,
    &COrInfoSet::m_sImaging,       &COrInfoSet::m_sTemperature, &COrInfoSet::m_sCloud,
    &COrInfoSet::m_sWind,          &COrInfoSet::m_sRoad,        &COrInfoSet::m_sSunLocation,
};
static_assert(kInfoMembers.size() == kReportHeaderFields.size());

// The Observation_tbl members in column order, parallel to kObservationRowFields.
constexpr std::array<std::string COrObservationSet::*, 17> kObservationMembers{
    &COrObservationSet::m_sStation,
    &COrObservationSet::m_sDis_Back,
    &COrObservationSet::m_sDis_Fore,
    &COrObservationSet::m_sDistance_Error,
    &COrObservationSet::m_sSigma_d,
    &COrObservationSet::m_sBack_I,
    &COrObservationSet::m_sFore_I,
    &COrObservationSet::m_sBack_II,
    &COrObservationSet::m_sFore_II,
    &COrObservationSet::m_sFore_Back_I,
    &COrObservationSet::m_sFore_Back_II,
    &COrObservationSet::m_sFore_Back,
    &COrObservationSet::m_sFBI_Height,
    &COrObservationSet::m_sFBII_Height,
    &COrObservationSet::m_sH,
    &COrObservationSet::m_sTarget_Back,
    &COrObservationSet::m_sTarget_Fore,
};
static_assert(kObservationMembers.size() == kObservationRowFields.size());

}  // namespace

// ---------------------------------------------------------------------------
// COrInfoSet

COrInfoSet::COrInfoSet(CDatabase* db) : CRecordset(db) { m_nFields = 19; }

std::string COrInfoSet::GetDefaultConnect() const { return std::string(kConnectString); }

std::string COrInfoSet::GetDefaultSQL() const { return "\"Info_tbl\""; }

void COrInfoSet::DoFieldExchange(CFieldExchange& fx) {
    fx.Key("\"Record_ID\"", m_Record_ID);
    for (std::size_t i = 0; i < kInfoMembers.size(); ++i) {
        fx.Text(Quoted(kReportHeaderFields[i].name), this->*kInfoMembers[i]);
    }
}

void COrInfoSet::Assign(const ReportHeader& header) {
    for (std::size_t i = 0; i < kInfoMembers.size(); ++i) {
        this->*kInfoMembers[i] = header.*kReportHeaderFields[i].member;
    }
}

ReportHeader COrInfoSet::Header() const {
    ReportHeader header;
    for (std::size_t i = 0; i < kInfoMembers.size(); ++i) {
        header.*kReportHeaderFields[i].member = this->*kInfoMembers[i];
    }
    return header;
}

// ---------------------------------------------------------------------------
// COrObservationSet

COrObservationSet::COrObservationSet(CDatabase* db) : CRecordset(db) { m_nFields = 18; }

std::string COrObservationSet::GetDefaultConnect() const { return std::string(kConnectString); }

std::string COrObservationSet::GetDefaultSQL() const { return "\"Observation_tbl\""; }

void COrObservationSet::DoFieldExchange(CFieldExchange& fx) {
    fx.Key("\"Record_ID\"", m_Record_ID);
    for (std::size_t i = 0; i < kObservationMembers.size(); ++i) {
        fx.Text(Quoted(kObservationRowFields[i].name), this->*kObservationMembers[i]);
    }
}

void COrObservationSet::Assign(const ObservationRow& row) {
    for (std::size_t i = 0; i < kObservationMembers.size(); ++i) {
        this->*kObservationMembers[i] = row.*kObservationRowFields[i].member;
    }
}

ObservationRow COrObservationSet::Row() const {
    ObservationRow row;
    for (std::size_t i = 0; i < kObservationMembers.size(); ++i) {
        row.*kObservationRowFields[i].member = this->*kObservationMembers[i];
    }
    return row;
}

// ---------------------------------------------------------------------------
// COrResultSet

COrResultSet::COrResultSet(CDatabase* db) : CRecordset(db) { m_nFields = 8; }

std::string COrResultSet::GetDefaultConnect() const { return std::string(kConnectString); }

std::string COrResultSet::GetDefaultSQL() const { return "\"Result_tbl\""; }

void COrResultSet::DoFieldExchange(CFieldExchange& fx) {
    fx.Key("\"Record_ID\"", m_Record_ID);
    fx.Text("\"sStationSt\"", m_sStationSt);
    fx.Text("\"sStationEn\"", m_sStationEn);
    fx.Real("\"dDis_Go\"", m_dDis_Go);
    fx.Real("\"dDis_Back\"", m_dDis_Back);
    fx.Real("\"HeightAvg_Go\"", m_HeightAvg_Go);
    fx.Real("\"HeightAvg_Back\"", m_HeightAvg_Back);
    fx.Real("\"HeightAvg\"", m_HeightAvg);
}

void COrResultSet::Assign(const ResultRow& row) {
    m_sStationSt = row.sStationSt;
    m_sStationEn = row.sStationEn;
    m_dDis_Go = row.dDis_Go;
    m_dDis_Back = row.dDis_Back;
    m_HeightAvg_Go = row.HeightAvg_Go.value_or(0.0);
    m_HeightAvg_Back = row.HeightAvg_Back.value_or(0.0);
    m_HeightAvg = row.HeightAvg;
    SetFieldNull(&m_HeightAvg_Go, !row.HeightAvg_Go.has_value());
    SetFieldNull(&m_HeightAvg_Back, !row.HeightAvg_Back.has_value());
}

ResultRow COrResultSet::Row() const {
    ResultRow row;
    row.sStationSt = m_sStationSt;
    row.sStationEn = m_sStationEn;
    row.dDis_Go = m_dDis_Go;
    row.dDis_Back = m_dDis_Back;
    if (!IsFieldNull(&m_HeightAvg_Go)) row.HeightAvg_Go = m_HeightAvg_Go;
    if (!IsFieldNull(&m_HeightAvg_Back)) row.HeightAvg_Back = m_HeightAvg_Back;
    row.HeightAvg = m_HeightAvg;
    return row;
}

}  // namespace lorvex::db
