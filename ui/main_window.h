// The program's one window: the key list, the three scale grids with their players and the
// fixed labels, and the five event handlers that fill the grids and open the recordings.
#pragma once

#include "scale_form.h"

#include <QWidget>

#include <cstdint>

class KeyComboBox;
class MediaPlayer;
class MediaService;
class QLabel;
class StringGrid;

class TForm1 : public QWidget
{
    Q_OBJECT

public:
    // Builds the whole layout; FormCreate must then run before the window is shown.
    explicit TForm1(MediaService &service, QWidget *parent = nullptr);
    ~TForm1() override;

    // The creation handler: the degree names into the three header rows.
    void FormCreate();
    // The key change, with the list position that the change left.
    void ComboBox1Change(int position);
    void StringGrid1Click();
    void StringGrid2Click();
    void StringGrid3Click();

    StringGrid *StringGrid1;
    StringGrid *StringGrid2;
    StringGrid *StringGrid3;
    QLabel *Label1;
    QLabel *Label2;
    QLabel *Label3;
    KeyComboBox *ComboBox1;
    MediaPlayer *MediaPlayer1;
    MediaPlayer *MediaPlayer2;
    MediaPlayer *MediaPlayer3;
    QLabel *Label4;
    QLabel *Label6;
    QLabel *Label7;
    QLabel *Label8;
    QLabel *Label9;
    QLabel *Label10;
    QLabel *Label11;

private:
    void toggleHeader(StringGrid &grid, ScaleForm form);
};

// The one window, from its creation until it is destroyed at the end of the program.
extern TForm1 *Form1;
// The position in NoteNames of the chosen key's tonic: 0 until the first key is chosen, then
// LowestKeyIndex..HighestKeyIndex.
extern std::int32_t KeyIndex;
