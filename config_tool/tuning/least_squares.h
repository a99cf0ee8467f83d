// Linear least squares for the few unknowns of an identification.
#pragma once

#include <optional>
#include <vector>

namespace tuning {

struct LeastSquaresFit {
    std::vector<double> coefficients;
    double residualNorm = 0.0;  // ||y - X b||
};

// Minimises ||y - X b|| over b for the rows of X (each of the same length); nothing when the
// columns are linearly dependent or there are fewer rows than columns.
std::optional<LeastSquaresFit> leastSquares(const std::vector<std::vector<double>>& rows,
                                            const std::vector<double>& y);

}  // namespace tuning
