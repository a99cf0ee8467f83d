#include "least_squares.h"

#include <cmath>
#include <utility>

namespace tuning {

std::optional<LeastSquaresFit> leastSquares(const std::vector<std::vector<double>>& rows,
                                            const std::vector<double>& y) {
    if (rows.empty() || rows.size() != y.size()) {
        return std::nullopt;
    }
    const size_t n = rows.front().size();
    if (n == 0 || rows.size() < n) {
        return std::nullopt;
    }
    // The columns differ by many orders of magnitude (counts against amperes times seconds
    // squared): scale each to unit norm before solving the normal equations.
    std::vector<double> scale(n, 0.0);
    for (const auto& row : rows) {
        for (size_t c = 0; c < n; ++c) {
            scale[c] += row[c] * row[c];
        }
    }
    for (double& s : scale) {
        if (s <= 0.0) {
            return std::nullopt;
        }
        s = 1.0 / std::sqrt(s);
    }
    std::vector<std::vector<double>> normal(n, std::vector<double>(n + 1, 0.0));
    for (size_t r = 0; r < rows.size(); ++r) {
        for (size_t a = 0; a < n; ++a) {
            const double xa = rows[r][a] * scale[a];
            for (size_t b = 0; b < n; ++b) {
                normal[a][b] += xa * rows[r][b] * scale[b];
            }
            normal[a][n] += xa * y[r];
        }
    }
    for (size_t col = 0; col < n; ++col) {
        size_t pivot = col;
        for (size_t r = col + 1; r < n; ++r) {
            if (std::fabs(normal[r][col]) > std::fabs(normal[pivot][col])) {
                pivot = r;
            }
        }
        if (std::fabs(normal[pivot][col]) < 1e-12) {
            return std::nullopt;
        }
        std::swap(normal[pivot], normal[col]);
        for (size_t r = 0; r < n; ++r) {
            if (r == col) {
                continue;
            }
            const double factor = normal[r][col] / normal[col][col];
            for (size_t c = col; c <= n; ++c) {
                normal[r][c] -= factor * normal[col][c];
            }
        }
    }
    LeastSquaresFit fit;
    fit.coefficients.resize(n);
    for (size_t c = 0; c < n; ++c) {
        fit.coefficients[c] = normal[c][n] / normal[c][c] * scale[c];
    }
    double sum = 0.0;
    for (size_t r = 0; r < rows.size(); ++r) {
        double predicted = 0.0;
        for (size_t c = 0; c < n; ++c) {
            predicted += rows[r][c] * fit.coefficients[c];
        }
        sum += (y[r] - predicted) * (y[r] - predicted);
    }
    fit.residualNorm = std::sqrt(sum);
    return fit;
}

}  // namespace tuning
