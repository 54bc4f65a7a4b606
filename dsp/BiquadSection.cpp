#include "dsp/BiquadSection.h"

#include "dsp/DetMath.h"

// Formulas are evaluated left to right as written in the design table, with
// K² formed once as K * K (so V·K² is V * (K * K)).
void BiquadSection::Design() {
  if (type < LowPass || type > HighShelf) return;
  constexpr double kPi = 3.141592653589793;
  const double sqrt2 = std::sqrt(2.0);
  const double V = detmath::Pow10(std::fabs(gainDb) / 20.0);
  const bool boost = gainDb >= 0.0;  // a NaN gain takes the cut form
  const double K = detmath::Tan(kPi * freq);
  const double K2 = K * K;

  switch (type) {
    case LowPass: {
      const double norm = 1.0 / (1.0 + K / q + K2);
      ff0 = K2 * norm;
      ff1 = 2.0 * ff0;
      ff2 = ff0;
      fb1 = 2.0 * (K2 - 1.0) * norm;
      fb2 = (1.0 - K / q + K2) * norm;
      break;
    }
    case HighPass: {
      const double norm = 1.0 / (1.0 + K / q + K2);
      ff0 = norm;
      ff1 = -2.0 * norm;
      ff2 = norm;
      fb1 = 2.0 * (K2 - 1.0) * norm;
      fb2 = (1.0 - K / q + K2) * norm;
      break;
    }
    case BandPass: {
      const double norm = 1.0 / (1.0 + K / q + K2);
      ff0 = K / q * norm;
      ff1 = 0.0;
      ff2 = -ff0;
      fb1 = 2.0 * (K2 - 1.0) * norm;
      fb2 = (1.0 - K / q + K2) * norm;
      break;
    }
    case Notch: {
      const double norm = 1.0 / (1.0 + K / q + K2);
      ff0 = (1.0 + K2) * norm;
      ff1 = 2.0 * (K2 - 1.0) * norm;
      ff2 = ff0;
      fb1 = ff1;
      fb2 = (1.0 - K / q + K2) * norm;
      break;
    }
    case Peak: {
      if (boost) {
        const double norm = 1.0 / (1.0 + K / q + K2);
        ff0 = (1.0 + V * K / q + K2) * norm;
        ff1 = 2.0 * (K2 - 1.0) * norm;
        ff2 = (1.0 - V * K / q + K2) * norm;
        fb1 = ff1;
        fb2 = (1.0 - K / q + K2) * norm;
      } else {
        const double norm = 1.0 / (1.0 + V * K / q + K2);
        ff0 = (1.0 + K / q + K2) * norm;
        ff1 = 2.0 * (K2 - 1.0) * norm;
        ff2 = (1.0 - K / q + K2) * norm;
        fb1 = ff1;
        fb2 = (1.0 - V * K / q + K2) * norm;
      }
      break;
    }
    case LowShelf: {
      const double sqrt2V = std::sqrt(2.0 * V);
      if (boost) {
        const double norm = 1.0 / (1.0 + sqrt2 * K + K2);
        ff0 = (1.0 + sqrt2V * K + V * K2) * norm;
        ff1 = 2.0 * (V * K2 - 1.0) * norm;
        ff2 = (1.0 - sqrt2V * K + V * K2) * norm;
        fb1 = 2.0 * (K2 - 1.0) * norm;
        fb2 = (1.0 - sqrt2 * K + K2) * norm;
      } else {
        const double norm = 1.0 / (1.0 + sqrt2V * K + V * K2);
        ff0 = (1.0 + sqrt2 * K + K2) * norm;
        ff1 = 2.0 * (K2 - 1.0) * norm;
        ff2 = (1.0 - sqrt2 * K + K2) * norm;
        fb1 = 2.0 * (V * K2 - 1.0) * norm;
        fb2 = (1.0 - sqrt2V * K + V * K2) * norm;
      }
      break;
    }
    case HighShelf: {
      const double sqrt2V = std::sqrt(2.0 * V);
      if (boost) {
        const double norm = 1.0 / (1.0 + sqrt2 * K + K2);
        ff0 = (V + sqrt2V * K + K2) * norm;
        ff1 = 2.0 * (K2 - V) * norm;
        ff2 = (V - sqrt2V * K + K2) * norm;
        fb1 = 2.0 * (K2 - 1.0) * norm;
        fb2 = (1.0 - sqrt2 * K + K2) * norm;
      } else {
        const double norm = 1.0 / (V + sqrt2V * K + K2);
        ff0 = (1.0 + sqrt2 * K + K2) * norm;
        ff1 = 2.0 * (K2 - 1.0) * norm;
        ff2 = (1.0 - sqrt2 * K + K2) * norm;
        fb1 = 2.0 * (K2 - V) * norm;
        fb2 = (V - sqrt2V * K + K2) * norm;
      }
      break;
    }
    default:
      break;
  }
}
