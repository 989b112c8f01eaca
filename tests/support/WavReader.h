#pragma once

#include <QDir>
#include <QFile>
#include <QList>
#include <QString>
#include <QStringList>

#include <cmath>
#include <cstring>

// Reading the speech files the character layer writes.
namespace wav_reader {

// A WAV file as a player reads it; every size in the header must agree with the file.
struct Wav {
    QString error;
    int sampleRate = 0;
    QList<qint16> samples;
    double seconds() const { return sampleRate > 0 ? double(samples.size()) / sampleRate : 0; }
};

inline quint32 le(const QByteArray& data, int at, int bytes)
{
    quint32 value = 0;
    for (int i = bytes - 1; i >= 0; --i)
        value = (value << 8) | quint8(data.at(at + i));
    return value;
}

inline Wav broken(const QString& why)
{
    Wav wav;
    wav.error = why;
    return wav;
}

inline Wav readWav(const QString& path)
{
    Wav wav;
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return broken(QStringLiteral("cannot open %1").arg(path));
    const QByteArray d = file.readAll();
    if (d.size() < 44 || !d.startsWith("RIFF") || d.mid(8, 8) != "WAVEfmt " || d.mid(36, 4) != "data")
        return broken(QStringLiteral("not a WAV file"));
    if (le(d, 4, 4) != quint32(d.size() - 8) || le(d, 40, 4) != quint32(d.size() - 44))
        return broken(QStringLiteral("sizes in the header disagree with the file"));
    if (le(d, 16, 4) != 16 || le(d, 20, 2) != 1 || le(d, 22, 2) != 1 || le(d, 32, 2) != 2 || le(d, 34, 2) != 16)
        return broken(QStringLiteral("not 16-bit mono PCM"));
    wav.sampleRate = int(le(d, 24, 4));
    if (le(d, 28, 4) != quint32(wav.sampleRate) * 2)
        return broken(QStringLiteral("byte rate disagrees with sample rate"));
    wav.samples.resize((d.size() - 44) / 2);
    std::memcpy(wav.samples.data(), d.constData() + 44, size_t(wav.samples.size()) * 2);
    return wav;
}

inline QStringList wavsIn(const QString& folder)
{
    QStringList paths;
    for (const QString& name : QDir(folder).entryList({QStringLiteral("*.wav")}, QDir::Files, QDir::Name))
        paths << QDir(folder).filePath(name);
    return paths;
}

inline double rms(const qint16* samples, qsizetype count)
{
    double sum = 0;
    for (qsizetype i = 0; i < count; ++i)
        sum += double(samples[i]) * samples[i];
    return count ? std::sqrt(sum / double(count)) : 0;
}

// Share of 20 ms stretches that carry sound: speech has many, silence none.
inline double soundingShare(const Wav& wav)
{
    const qsizetype window = wav.sampleRate / 50;
    int sounding = 0, all = 0;
    for (qsizetype at = 0; window > 0 && at + window <= wav.samples.size(); at += window, ++all)
        sounding += rms(wav.samples.constData() + at, window) > 300;
    return all ? double(sounding) / all : 0;
}

}  // namespace wav_reader
