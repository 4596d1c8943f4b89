#pragma once

#include <cstdint>
#include <span>
#include <string>

#include "base/grade.h"

namespace lorvex {

// One record of a line as the station computation uses it.
struct SightRecord {
    std::string PointId;        // staff position, exactly as in the record
    std::string SightCode;      // exactly "B" marks a back sight; anything else is a fore sight
    std::int32_t Reading = 0;   // staff reading in 10^-5 m
    std::int32_t Distance = 0;  // sight distance in mm

    friend bool operator==(const SightRecord&, const SightRecord&) = default;
};

// The sixteen texts of one computed station, each named after the
// Observation_tbl column that receives it.
struct StationResult {
    std::string sBack_I;
    std::string sBack_II;
    std::string sFore_Back_I;
    std::string sFore_I;
    std::string sFore_II;
    std::string sFore_Back_II;
    std::string sDis_Back;
    std::string sDis_Fore;
    std::string sFBI_Height;
    std::string sFBII_Height;
    std::string sFore_Back;
    std::string sDistance_Error;
    std::string sSigma_d;
    std::string sH;
    std::string sTarget_Back;
    std::string sTarget_Fore;

    friend bool operator==(const StationResult&, const StationResult&) = default;
};

// Computes one station (four records in row order) for a grade. sigma is the
// running accumulated distance difference of the line in metres: the
// station's distance difference, as rounded to 0.1 m, is added to it.
StationResult ComputeStation(std::span<const SightRecord, 4> records, LevellingGrade grade,
                             double& sigma);

// Rewrites the six reading/height fields and sH into their record-book form:
// zero-padded, with a space before the last 2 (second order) or 3 digits (4
// for sH below second order). Take the line totals before calling this.
void FormatStationColumns(StationResult& station, LevellingGrade grade);

}  // namespace lorvex
