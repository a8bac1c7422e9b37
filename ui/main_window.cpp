#include "main_window.h"

#include "key_combo_box.h"
#include "media_player.h"
#include "minor_keys.h"
#include "open_recordings.h"
#include "program_icon.h"
#include "scale_form.h"
#include "scale_rows.h"
#include "string_grid.h"
#include "window_font.h"

#include <QLabel>
#include <QStringList>

#include <string_view>

TForm1 *Form1 = nullptr;
std::int32_t KeyIndex = 0;

namespace {

constexpr QSize ClientSize(981, 479);
constexpr QPoint FramePosition(178, 188);
constexpr int Label10PixelSize = 19;
constexpr int HintDuration = 2500;
constexpr int GridLeft = 8;
constexpr QSize GridSize(965, 53);
constexpr int PlayerLeft = 72;
constexpr QSize PlayerSize(29, 30);

QString Text(std::string_view text)
{
    return QString::fromUtf8(text.data(), qsizetype(text.size()));
}

// Writes exactly the cells of the row, in the order given, and no other.
void WriteRow(StringGrid &grid, int row, const ScaleRow &cells)
{
    for (const RowCell &cell : cells)
        grid.setCell(cell.column, row, Text(cell.text));
}

QLabel *NewLabel(QWidget *window, const char *name, const QString &text, QPoint topLeft)
{
    auto *label = new QLabel(text, window);
    label->setObjectName(QLatin1String(name));
    label->setTextFormat(Qt::PlainText);
    label->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    label->move(topLeft);
    return label;
}

StringGrid *NewGrid(QWidget *window, const char *name, int top, const QString &formName,
                    const QString &hint)
{
    auto *grid = new StringGrid(window);
    grid->setObjectName(QLatin1String(name));
    grid->setGeometry(QRect(QPoint(GridLeft, top), GridSize));
    grid->setToolTip(hint);
    grid->setToolTipDuration(HintDuration);
    grid->setAccessibleCaption(formName);
    return grid;
}

MediaPlayer *NewPlayer(MediaService &service, QWidget *window, const char *name, int top,
                       const QString &accessibleName)
{
    auto *player = new MediaPlayer(service, window);
    player->setObjectName(QLatin1String(name));
    player->setGeometry(QRect(QPoint(PlayerLeft, top), PlayerSize));
    player->setAccessibleName(accessibleName);
    return player;
}

} // namespace

TForm1::TForm1(MediaService &service, QWidget *parent)
    : QWidget(parent, Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint
                          | Qt::WindowCloseButtonHint)
{
    // KeyIndex belongs to the module, not to the window; a new window starts with no key
    // chosen even when an earlier one in the same process (as in the tests) chose one.
    KeyIndex = 0;

    setObjectName(QStringLiteral("Form1"));
    setWindowTitle(QStringLiteral("Quarvelo - Versão 1.0"));
    setWindowIcon(ProgramIcon());
    setFont(WindowFont());
    setFixedSize(ClientSize);
    move(FramePosition);

    Label1 = NewLabel(this, "Label1", QStringLiteral("Primitiva"), {16, 80});
    Label2 = NewLabel(this, "Label2", QStringLiteral("Harmônica"), {16, 208});
    Label3 = NewLabel(this, "Label3", QStringLiteral("Melódica"), {16, 336});
    Label4 = NewLabel(this, "Label4", QStringLiteral("Desenvolvido por Tessarin - Fevereiro 2010"),
                      {712, 432});
    Label6 = NewLabel(this, "Label6", QStringLiteral("Escolha a escala"), {624, 24});
    Label7 = NewLabel(this, "Label7", QStringLiteral("Aperte o play"), {624, 48});
    Label8 = NewLabel(this, "Label8", QStringLiteral("Clique em um retângulo branco"), {624, 72});
    Label9 = NewLabel(this, "Label9", QStringLiteral("Software didático e livre"), {800, 40});
    Label10 = NewLabel(this, "Label10", QStringLiteral("Dorvalis"), {379, 8});
    Label10->setFont(WindowFont(Label10PixelSize));
    Label11 = NewLabel(this, "Label11",
                       QStringLiteral("Comentários e sugestões: https://example.org/quarvelo"),
                       {656, 456});
    // Each label takes the size of its text in its font; its left edge stays where it is.
    for (QLabel *label :
         {Label1, Label2, Label3, Label4, Label6, Label7, Label8, Label9, Label10, Label11})
        label->adjustSize();

    StringGrid1 = NewGrid(this, "StringGrid1", 104, Label1->text(),
                          QStringLiteral("O acorde da dominante é menor."));
    StringGrid2 = NewGrid(this, "StringGrid2", 232, Label2->text(),
                          QStringLiteral("O acorde da dominante torna-se maior. Entretanto existe "
                                         "uma segunda aumentada."));
    StringGrid3 = NewGrid(this, "StringGrid3", 360, Label3->text(),
                          QStringLiteral("A segunda aumentada torna-se maior. Quando descendente, "
                                         "esta escala usa a forma primitiva."));

    ComboBox1 = new KeyComboBox(this);
    ComboBox1->setObjectName(QStringLiteral("ComboBox1"));
    ComboBox1->setGeometry(128, 16, 177, 21);
    ComboBox1->setMaxVisibleItems(int(MinorKeys.size()));
    QStringList captions;
    for (const MinorKey &key : MinorKeys)
        captions << Text(key.KeyCaption);
    ComboBox1->addItems(captions);
    ComboBox1->setCurrentIndex(-1);
    ComboBox1->setEditText(QStringLiteral("Escala Menor"));
    ComboBox1->setAccessibleName(Label6->text());

    MediaPlayer1 = NewPlayer(service, this, "MediaPlayer1", 72, QStringLiteral("Tocar Primitiva"));
    MediaPlayer2 = NewPlayer(service, this, "MediaPlayer2", 200, QStringLiteral("Tocar Harmônica"));
    MediaPlayer3 = NewPlayer(service, this, "MediaPlayer3", 328, QStringLiteral("Tocar Melódica"));

    setTabOrder(StringGrid1, StringGrid2);
    setTabOrder(StringGrid2, StringGrid3);
    setTabOrder(StringGrid3, ComboBox1);
    setTabOrder(ComboBox1, MediaPlayer1);
    setTabOrder(MediaPlayer1, MediaPlayer2);
    setTabOrder(MediaPlayer2, MediaPlayer3);
    StringGrid1->setFocus();

    // The key change runs from a posted call: its error then surfaces in the event loop, with
    // no widget's input handling half done, and two changes in a row keep their own positions.
    connect(ComboBox1, &KeyComboBox::changed, this, &TForm1::ComboBox1Change, Qt::QueuedConnection);
    connect(StringGrid1, &StringGrid::clicked, this, &TForm1::StringGrid1Click);
    connect(StringGrid2, &StringGrid::clicked, this, &TForm1::StringGrid2Click);
    connect(StringGrid3, &StringGrid::clicked, this, &TForm1::StringGrid3Click);
}

TForm1::~TForm1()
{
    if (Form1 == this)
        Form1 = nullptr;
}

void TForm1::FormCreate()
{
    WriteRow(*StringGrid1, StringGrid::HeaderRow, DegreeNameRow(ScaleForm::Primitiva));
    WriteRow(*StringGrid2, StringGrid::HeaderRow, DegreeNameRow(ScaleForm::Harmonica));
    WriteRow(*StringGrid3, StringGrid::HeaderRow, DegreeNameRow(ScaleForm::Melodica));
    // NoteNames is the model's fixed table, complete before any window exists: nothing to fill.
}

void TForm1::ComboBox1Change(int position)
{
    const auto chosen = KeyIndexForPosition(position);
    // Before the first key there is no note row to write and no recording to name, so an edit
    // of the initial text that completes no entry leaves everything as it is.
    if (!chosen && !IsKeyIndex(KeyIndex))
        return;
    if (chosen)
        KeyIndex = *chosen;
    WriteRow(*StringGrid1, StringGrid::NoteRow, NoteRow(ScaleForm::Primitiva, KeyIndex));
    WriteRow(*StringGrid2, StringGrid::NoteRow, NoteRow(ScaleForm::Harmonica, KeyIndex));
    WriteRow(*StringGrid3, StringGrid::NoteRow, NoteRow(ScaleForm::Melodica, KeyIndex));
    OpenRecordings(KeyIndex, {MediaPlayer1, MediaPlayer2, MediaPlayer3});
}

void TForm1::StringGrid1Click()
{
    toggleHeader(*StringGrid1, ScaleForm::Primitiva);
}

void TForm1::StringGrid2Click()
{
    toggleHeader(*StringGrid2, ScaleForm::Harmonica);
}

void TForm1::StringGrid3Click()
{
    toggleHeader(*StringGrid3, ScaleForm::Melodica);
}

void TForm1::toggleHeader(StringGrid &grid, ScaleForm form)
{
    const QByteArray header = grid.cell(0, StringGrid::HeaderRow).toUtf8();
    WriteRow(grid, StringGrid::HeaderRow,
             NextHeaderRow(form, std::string_view(header.constData(), std::size_t(header.size()))));
}
