#include "base/Texts.h"

#include <atomic>
#include <map>
#include <mutex>
#include <shared_mutex>

namespace vantrel {

namespace {

struct tConstant {
    std::string_view name;
    std::string_view text;
};

// Built-in (Russian) texts of the named constants; a language file may
// translate each of them.
constexpr tConstant kConstants[] = {
    {"DK_CANT_GET_DEVICE_STATE", "Невозможно получить состояние устройства на порту:"},
    {"DK_CONN_CANCELLED", "Поиск станции отменён."},
    {"DK_CONN_NONE", "<НЕТ>"},
    {"DK_CONN_SEARCH", "Поиск станции: %s (осталось портов: %s)"},
    {"DK_DEVICE_NOT_FOUND", "Устройство не найдено."},
    {"DK_DEV_ACT_0", "Нагреватель"},
    {"DK_DEV_ACT_1", "Мешалка"},
    {"DK_DEV_ACT_2", "Дозатор 1"},
    {"DK_DEV_ACT_3", "Дозатор 2"},
    {"DK_DEV_ACT_4", "Дозатор 3"},
    {"DK_ENTER_PERIOD", "Введите значение периода оцифровки, мс :"},
    {"DK_EXPORT_FAILED", "Экспорт не выполнен. Показания остались на графиках.\r\n%s"},
    {"DK_EXPORT_MARKED",
     "Записана %s отмеченная точка|Записано %s отмеченные точки|Записано %s отмеченных точек"},
    {"DK_EXPORT_READINGS", "Записано %s показание|Записано %s показания|Записано %s показаний"},
    {"DK_LANG_1049", "Русский (Орыс)"},
    {"DK_LANG_1087", "Казахский (Қазақ)"},
    {"DK_LINK_LOST",
     "Связь со станцией потеряна. Полученные показания остались на графиках: их можно "
     "просмотреть и экспортировать."},
    {"DK_SAFE_HEATER_OFF", "Нагреватель выключен: %s °C при пределе %s °C"},
    {"DK_SAFE_PUMP_OFF", "Дозатор %s выключен: набрано %s мл при пределе %s мл"},
    {"DK_SAFE_HEATER_REFUSED",
     "Нагреватель не включён: сейчас %s °C, включить его можно, когда станет %s °C или ниже"},
    {"DK_SAFE_PUMP_REFUSED", "Дозатор %s не включён: доза %s мл уже набрана"},
    {"DK_SAFE_STEP_FAILED", "Всё выключено: шаг сценария не выполнен"},
    {"DK_SAFE_DISCONNECT", "Всё выключено при отключении от станции"},
    {"DK_SAFE_EXIT", "Всё выключено при выходе из программы"},
    {"DK_SAFE_CLASS_STOP", "Остановлено учителем: всё выключено"},
    {"DK_CLASS_ONLINE", "в сети"},
    {"DK_CLASS_SEEN", "не в сети, слышна %s с назад"},
    {"DK_CLASS_MEASURING", "идёт опыт"},
    {"DK_CLASS_PAUSED", "пауза"},
    {"DK_CLASS_WATCHING", "остановлена, под присмотром"},
    {"DK_CLASS_CONNECTED", "станция подключена"},
    {"DK_CLASS_NO_STATION", "станция не найдена"},
    {"DK_CLASS_RECONNECTING", "связь со станцией восстанавливается"},
    {"DK_CLASS_ON", "вкл"},
    {"DK_CLASS_OFF", "выкл"},
    {"DK_CLASS_OUTPUTS", "Нагреватель %s · Мешалка %s · Дозаторы %s"},
    {"DK_CLASS_OUTPUTS_LAST", "До потери связи: %s"},
    {"DK_CLASS_STOP_WAITING", "Стоп: ждём ответа"},
    {"DK_CLASS_STOP_DONE", "Стоп: остановлена"},
    {"DK_CLASS_STOP_REFUSED", "Стоп не выполнен: %s"},
    {"DK_CLASS_STOP_NO_ANSWER", "Стоп: не ответила за 5 с"},
    {"DK_CLASS_NONE_EVER",
     "Ни одна станция ещё не подключилась. Станциям нужен адрес брокера %s. Обычные причины: "
     "станции в другой сети, брандмауэр этого компьютера, изоляция клиентов в Wi-Fi."},
    {"DK_CLASS_SILENT", "Замолчали: %s"},
    {"DK_CLASS_NO_LINK", "Нет связи с брокером класса: %s"},
    {"DK_CLASS_STOP_CONFIRM",
     "Остановить опыты на всех станциях класса? Всё включённое будет выключено."},
    {"DK_CLASS_END_CONFIRM",
     "Завершить урок? Станции этого урока исчезнут из вида, брокер будет остановлен."},
    {"DK_CLASS_ADDRESS", "Брокер: %s · класс %s"},
    {"DK_CLASS_ACCOUNT", "Станции: ClassBroker=%s, ClassName=%s, ClassUser/ClassPassword = %s"},
    {"DK_CLASS_PAGE", "Телефоны: %s"},
    {"DK_CLASS_MEAN", "Среднее"},
    {"DK_CLASS_SD", "Станд. отклонение"},
    {"DK_CLASS_RESULT_COLUMNS",
     "Станция|Опыт|Аппроксимация|Длительность, с|Показаний|V экв., мл|pH экв.|a|b|c|R²"},
    {"DK_CLASS_TIME", "Время, с"},
    {"DK_CLASS_OPEN_FAILED", "Класс не открыт: %s"},
    {"DK_CLASS_NAME_PROMPT", "Название класса (например, 8Б):"},
    {"DK_CLASS_BROKER_ENDED", "Брокер класса остановился сам (%s): станции его не видят."},
    {"DK_CLASS_END_UNREACHED",
     "Брокер был недоступен: станции этого урока могут остаться в списке до следующего урока."},
    {"DK_CLASS_ACKS_NONE", "Команд ещё не было"},
    {"DK_CLASS_RUN_TITLE", "%s — опыт %s (только просмотр)"},
    {"DK_SAFE_SILENCE", "Всё выключено: показаний нет %s с"},
    {"DK_SAFE_RECONNECTED", "Всё выключено: станция могла работать без присмотра"},
    {"DK_SAFE_WATCHING",
     "Остановлено, но включено устройство: показания станции проверяются по пределам, не "
     "записываясь"},
    {"DK_SAFE_IDLE", "Всё выключено: станция простаивала %s мин, связь с ней закрыта"},
    {"DK_SETTINGS_UNREAD",
     "Эти значения в файле настроек %s не прочитаны, вместо них действуют значения по "
     "умолчанию:\r\n%s"},
    {"DK_SETTING_UNREAD", "%s=%s: используется %s"},
    {"DK_SAFE_OFF_FAILED",
     "Команду выключения не удалось передать: станция, возможно, всё ещё нагревает или дозирует. "
     "Выключите её вручную."},
    {"DK_NO_COM_PORTS", "COM-порты в системе не обнаружены."},
    {"DK_NO_SCENARIO", "<СЦЕНАРИЙ НЕ ЗАГРУЖЕН>"},
    {"DK_OPENED_RUN", "Запись опыта: %s"},
    {"DK_SENS_0", "Температура"},
    {"DK_SENS_1", "pH"},
    {"DK_SENS_2", "Электропроводность"},
    {"DK_SENS_3", "Редокс-потенциал"},
    {"DK_SENS_4", "Реагент 1"},
    {"DK_SENS_5", "Реагент 2"},
    {"DK_SENS_6", "Реагент 3"},
    {"DK_RECOVER_RUN",
     "Запись опыта, начатая %s, прервалась (показаний: %s): программа или компьютер "
     "остановились во время измерения. Открыть её?"},
    {"DK_RECONNECTING", "Связь со станцией потеряна. Повторное подключение к %s каждые 2 с..."},
    {"DK_RUN_FILTER", "Записи опытов (*.journal)|*.journal|Все файлы (*.*)|*.*"},
    {"DK_EQUIV_CAPTION", "Точка эквивалентности"},
    {"DK_EQUIV_FOUND", "V = %s мл, pH = %s"},
    {"DK_EQUIV_NONE", "Скачка pH не найдено: точки эквивалентности на этом участке нет."},
    {"DK_EQUIV_ABSCISSA", "Выберите абсциссой объём реагента (V1, V2 или V3)."},
    {"DK_EQUIV_DERIVATIVE", "dpH/dV (пик %s pH/мл)"},
    {"DK_FIT_SECONDS", "с"},
    {"DK_FIT_MINUTES", "мин"},
    {"DK_FIT_NONE", "%s: аппроксимация по этому участку невозможна"},
    {"DK_FIT_NO_CHANGE", "%s: не меняется на этом участке, аппроксимировать нечего"},
    {"DK_FIT_CAPTION", "%s: %s; R² = %s\n%s"},
    {"DK_SLOPE_CAPTION", "%s: наклон по %s = %s %s"},
    {"DK_AREA_CAPTION", "%s: площадь по %s = %s %s"},
    {"DK_AREA_TITLE", "Площадь под кривой"},
    {"DK_STAT_CAPTION", "Статистика участка"},
    {"DK_STAT_RANGE", "От %s до %s с, точек: %s"},
    {"DK_STAT_TITLES", "Величина|Минимум|Максимум|Среднее|Изменение|В минуту"},
    {"DK_STAT_COPY", "Копировать"},
    {"DK_PICTURE_FILTER", "Рисунок PNG (*.png)|*.png|Документ PDF (*.pdf)|*.pdf"},
    {"DK_TABLE_TIME", "t, с"},
    {"DK_TABLE_UNITS", "°C||мСм/см|В|мл|мл|мл"},
    {"DK_TABLE_MARK", "Метка"},
    {"DK_TABLE_COPY", "Копировать"},
    {"DK_PICTURE_FAILED", "Рисунок не сохранён.\r\n%s"},
    {"DK_REFERENCE_FILTER",
     "Экспорт и записи опытов (*.csv;*.journal)|*.csv;*.journal|Все файлы (*.*)|*.*"},
    {"DK_REFERENCE_FAILED", "Опорный опыт не открыт.\r\n%s"},
    {"DK_REFERENCE_NAME", "%s (опорный)"},
    {"DK_RIGHT_AXIS", "Шкала справа"},
    {"DK_RIGHT_AXIS_NONE", "Без шкалы справа"},
    {"DK_XLSX_FILTER", "Книги Excel (*.xlsx)|*.xlsx|Все файлы (*.*)|*.*"},
    {"DK_XLSX_FAILED", "Книга не сохранена.\r\n%s"},
    {"DK_XLSX_WRITING", "Запись книги Excel..."},
    {"DK_CANCEL", "Отмена"},
    {"DK_SHEET_READINGS", "Показания"},
    {"DK_SHEET_MARKS", "Отметки"},
    {"DK_SHEET_SUMMARY", "Итоги"},
    {"DK_SUM_EXPERIMENT", "Опыт"},
    {"DK_SUM_SCENARIO", "Сценарий"},
    {"DK_SUM_STARTED", "Начало"},
    {"DK_SUM_DURATION", "Длительность"},
    {"DK_DURATION_SECONDS", "%s с"},
    {"DK_DURATION_MINUTES", "%s мин %s с"},
    {"DK_DURATION_HOURS", "%s ч %s мин"},
    {"DK_SUM_RECORDS", "Точек"},
    {"DK_SUM_FITS", "Аппроксимации"},
    {"DK_SUM_NONE", "нет"},
    {"DK_REPORT_TITLE", "Отчёт об опыте"},
    {"DK_REPORT_STUDENT", "Ученик, класс"},
    {"DK_REPORT_ASK_STUDENT", "Фамилия, имя и класс ученика:"},
    {"DK_REPORT_FILTER", "Документ PDF (*.pdf)|*.pdf|Все файлы (*.*)|*.*"},
    {"DK_REPORT_FAILED", "Отчёт не сохранён.\r\n%s"},
    {"DK_REPORT_TIME_CHART", "Показания по времени"},
    {"DK_REPORT_DEPEND_CHART", "Зависимость от %s"},
    {"DK_REPORT_RESULTS", "Результаты"},
    {"DK_REPORT_MARKS", "Отмеченные точки"},
    {"DK_REPORT_PAGE", "Страница %s из %s"},
    {"DK_HOVER_TIME", "t = %s с"},
    {"DK_SCALE_LEFT", "%s — шкала слева"},
    {"DK_SCALE_RIGHT", "%s — шкала справа"},
    {"DK_REPORT_WRITING", "Отчёт записывается: %s"},
    {"DK_SETTINGS_FOLDER",
     "Невозможно прочитать настройки из '%s'.\r\nПричина: это папка, а не файл."},
    {"DK_STATE_OFF", "Выкл"},
    {"DK_STATE_ON", "Вкл"},
    {"DK_STATE_ONOFF", "Вкл/Выкл"},
};

struct tMessage {
    int number;
    std::string_view russian;
    std::string_view kazakh;
};

// The numbered messages exactly as the program has always shown them,
// including their odd spacing and punctuation.
constexpr tMessage kMessages[] = {
    {903, "Системная ошибка: ", "Жүйелік қателік: "},
    {1000, "Невозможно установить заголовок окна.\r\nСистема сообщает: ",
     "Тақырыпты орнату мүмкін емес.\r\n Жүйе хабарлайды: "},
    {1001, "Невозможно получить класс окна.\r\nСистема сообщает: ",
     "Терезе сыныбын алу мүмкін емес.\r\nЖүйе хабарлайды: "},
    {1002, "Невозможно создать объект синхронизации.\r\nСистема сообщает: ",
     "Синхрондау объектісін құру мүмкін емес.\r\nЖүйе хабарлайды: "},
    {1004, "Невозможно прочитать настройки из '%s'.\r\nПричина: Файл не найден.",
     "...ден баптауларды оқу мүмкін емес '%s'.\r\nСебебі: Файл табылмады."},
    {1007, "Невозможно открыть устройство '%s'.\r\nСистема сообщает: %s",
     "Құрылғыны ашу мүмкін емес '%s'.\r\n Жүйе хабарлайды: %s"},
    {1008, "Невозможно задать параметры устройства '%s'.\r\nСистема сообщает: %s",
     "Құрылғының параметрлерін орнату мүмкін емес '%s'.\r\n Жүйе хабарлайды: %s"},
    {1013, "Значение должно лежать в интервале from %s to %s!.",
     "Мән from %s to %s интервалында болуы тиіс!"},
    {5000, "Запуск программы.", "Бағдарламаны іске қосу."},
    {5001, "Остановка программы.", "Бағдарламаны тоқтату."},
    {5002, "Версия: ", "Нұсқа: "},
    {5003, "Вы действительно хотите выйти из программы?",
     "Сіз бағдарламадан шынымен шыққыңыз келе ме?"},
    {20000, "Ошибка", "Қателік"},
    {20001, "Внимание", "Назар аударыңыз"},
    {20003, "Подтверждение", "Растау"},
    {20005, "Ввод данных", "Деректерді енгізу"},
};

std::atomic<int> currentMessageLanguage{kLangRussian};

struct tTranslations {
    std::shared_mutex mutex;
    std::map<std::string, std::string, std::less<>> texts;
    std::map<int, std::string> messages;  // of the applied language file
};

tTranslations& translations() {
    static tTranslations store;
    return store;
}

}  // namespace

void setMessageLanguage(int languageId) {
    currentMessageLanguage.store(languageId);
}

int messageLanguage() {
    return currentMessageLanguage.load();
}

std::string constantText(std::string_view name) {
    {
        tTranslations& store = translations();
        std::shared_lock guard(store.mutex);
        const auto found = store.texts.find(name);
        if (found != store.texts.end()) {
            return found->second;
        }
    }
    return builtInConstantText(name);
}

std::string builtInConstantText(std::string_view name) {
    for (const tConstant& constant : kConstants) {
        if (constant.name == name) {
            return std::string(constant.text);
        }
    }
    return {};
}

void setConstantTranslation(std::string_view name, std::string text) {
    tTranslations& store = translations();
    std::unique_lock guard(store.mutex);
    store.texts.insert_or_assign(std::string(name), std::move(text));
}

void clearConstantTranslations() {
    tTranslations& store = translations();
    std::unique_lock guard(store.mutex);
    store.texts.clear();
    store.messages.clear();
}

void setMessageTranslations(std::map<int, std::string> messages) {
    tTranslations& store = translations();
    std::unique_lock guard(store.mutex);
    store.messages = std::move(messages);
}

std::vector<std::string_view> constantNames() {
    std::vector<std::string_view> names;
    for (const tConstant& constant : kConstants) {
        names.push_back(constant.name);
    }
    return names;
}

std::vector<int> messageNumbers() {
    std::vector<int> numbers;
    for (const tMessage& message : kMessages) {
        numbers.push_back(message.number);
    }
    return numbers;
}

std::string messageText(int number) {
    {
        tTranslations& store = translations();
        std::shared_lock guard(store.mutex);
        const auto found = store.messages.find(number);
        if (found != store.messages.end()) {
            return found->second;
        }
    }
    return messageText(number, messageLanguage());
}

std::string messageText(int number, int languageId) {
    for (const tMessage& message : kMessages) {
        if (message.number == number) {
            // Only Kazakh exists besides Russian; any other language reads Russian.
            return std::string(languageId == kLangKazakh ? message.kazakh : message.russian);
        }
    }
    return {};
}

std::string formatText(std::string_view pattern, std::initializer_list<std::string_view> args) {
    std::string out;
    out.reserve(pattern.size() + 32);
    auto next = args.begin();
    std::size_t i = 0;
    while (i < pattern.size()) {
        if (pattern[i] == '%' && i + 1 < pattern.size() && pattern[i + 1] == 's' &&
            next != args.end()) {
            out += *next++;
            i += 2;
        } else {
            out += pattern[i++];
        }
    }
    return out;
}

std::string formatMessage(int number, std::initializer_list<std::string_view> args) {
    return formatText(messageText(number), args);
}

std::string countText(std::string_view forms, unsigned long long count) {
    std::vector<std::string_view> parts;
    for (std::size_t start = 0;;) {
        const std::size_t bar = forms.find('|', start);
        parts.push_back(forms.substr(start, bar == std::string_view::npos ? bar : bar - start));
        if (bar == std::string_view::npos) {
            break;
        }
        start = bar + 1;
    }
    std::size_t form = 0;
    if (parts.size() == 2) {
        form = count == 1 ? 0 : 1;
    } else if (parts.size() >= 3) {
        const unsigned long long last = count % 10;
        const unsigned long long lastTwo = count % 100;
        if (last == 1 && lastTwo != 11) {
            form = 0;
        } else if (last >= 2 && last <= 4 && (lastTwo < 12 || lastTwo > 14)) {
            form = 1;
        } else {
            form = 2;
        }
    }
    return formatText(parts[form], {std::to_string(count)});
}

}  // namespace vantrel
