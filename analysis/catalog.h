// Names of periods, indicators and quote-list columns, and the bar-shape commentary.
#pragma once

#include <string>

// Period 1..7 ("日线" for 5), "未知" otherwise.
std::string GetKTypeName(int ktype);
// Ids 1..58, plug-in ids from 10000; empty for any other id.
std::string GetTechnicalName(int id);
std::string GetTechnicalShortName(int id);
// Quote-list columns 1..79; empty otherwise.
std::string GetStockListTitle(int column);

// Commentary on one bar's candle, computed in 32-bit floats.
class CKShape {
public:
    CKShape();
    void Set(float open, float high, float low, float close, float reference);
    // Writes the commentary. False, with the text untouched, for a close at or below 0 (the body
    // size is measured against the close).
    bool GetComment(std::string& text) const;

    // Direction 1 rising, 2 falling, 3 flat; body class 0..3; shadow class 0..5.
    int GetDirection() const;
    int GetBodyClass() const;
    int GetShadowClass() const;

private:
    void AppendShadowSentence(std::string& text) const;
    bool InRisingStretch() const { return m_fReference < m_fMid; }

    float m_fOpen;
    float m_fHigh;
    float m_fLow;
    float m_fClose;
    float m_fReference;
    float m_fUpShadow;
    float m_fDownShadow;
    float m_fMid;
};
