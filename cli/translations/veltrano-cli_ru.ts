<?xml version="1.0" encoding="utf-8"?>
<!DOCTYPE TS>
<TS version="2.1" language="ru" sourcelanguage="en">
<context>
    <name>Cli</name>
    <message>
        <source>bad value &quot;%1&quot; for %2: %3</source>
        <translation>недопустимое значение «%1» для %2: %3</translation>
    </message>
    <message>
        <source>a serial device, COMn or DEMO</source>
        <translation>имя последовательного порта, COMn или DEMO</translation>
    </message>
    <message>
        <source>standard or modbus</source>
        <translation>standard или modbus</translation>
    </message>
    <message>
        <source>an address 1..255, decimal (26) or hexadecimal (0x1A, 1Ah, 1A)</source>
        <translation>адрес 1..255, десятичный (26) или шестнадцатеричный (0x1A, 1Ah, 1A)</translation>
    </message>
    <message>
        <source>one of %1</source>
        <translation>одно из значений %1</translation>
    </message>
    <message>
        <source>milliseconds, 1..10000</source>
        <translation>миллисекунды, 1..10000</translation>
    </message>
    <message>
        <source>milliseconds, 100..60000</source>
        <translation>миллисекунды, 100..60000</translation>
    </message>
    <message>
        <source>the highest address searched, 1..255</source>
        <translation>наибольший адрес поиска, 1..255</translation>
    </message>
    <message>
        <source>a comma-separated list of distinct speeds from %1</source>
        <translation>список неповторяющихся скоростей через запятую из числа %1</translation>
    </message>
    <message>
        <source>a file name</source>
        <translation>имя файла</translation>
    </message>
    <message>
        <source>seconds, 0.1..86400</source>
        <translation>секунды, 0.1..86400</translation>
    </message>
    <message>
        <source>option %1 does not apply to %2</source>
        <translation>ключ %1 неприменим к команде %2</translation>
    </message>
    <message>
        <source>help takes at most one command</source>
        <translation>help принимает не более одной команды</translation>
    </message>
    <message>
        <source>unknown command &quot;%1&quot;</source>
        <translation>неизвестная команда «%1»</translation>
    </message>
    <message>
        <source>%1 takes one parameter-set file</source>
        <translation>команде %1 нужен один файл параметров</translation>
    </message>
    <message>
        <source>inventory takes one or more ports</source>
        <translation>команде inventory нужен хотя бы один порт</translation>
    </message>
    <message>
        <source>port %1 is named twice</source>
        <translation>порт %1 указан дважды</translation>
    </message>
    <message>
        <source>unexpected argument &quot;%1&quot; for %2</source>
        <translation>лишний аргумент «%1» для команды %2</translation>
    </message>
    <message>
        <source>%1 needs --port</source>
        <translation>команде %1 нужен ключ --port</translation>
    </message>
    <message>
        <source>%1 needs --address</source>
        <translation>команде %1 нужен ключ --address</translation>
    </message>
    <message>
        <source>latch --all reaches every sensor: it takes no --address or --speed</source>
        <translation>latch --all обращается ко всем датчикам: ключи --address и --speed с ним не указываются</translation>
    </message>
    <message>
        <source>the result stream works in the standard protocol only</source>
        <translation>поток результатов работает только в протоколе standard</translation>
    </message>
    <message>
        <source>unknown option %1</source>
        <translation>неизвестный ключ %1</translation>
    </message>
    <message>
        <source>option %1 needs a value</source>
        <translation>ключу %1 нужно значение</translation>
    </message>
    <message>
        <source>option %1 takes no value</source>
        <translation>ключ %1 не принимает значения</translation>
    </message>
    <message>
        <source>no command given</source>
        <translation>не указана команда</translation>
    </message>
    <message>
        <source>--version takes no command</source>
        <translation>ключ --version указывается без команды</translation>
    </message>
    <message>
        <source>out of range</source>
        <translation>вне диапазона</translation>
    </message>
    <message>
        <source>no result</source>
        <translation>нет результата</translation>
    </message>
    <message>
        <source>%1 edges</source>
        <translation>фронтов: %1</translation>
    </message>
    <message>
        <source>%1 mm</source>
        <translation>%1 мм</translation>
    </message>
    <message>
        <source>, serial %1</source>
        <translation>, серийный номер %1</translation>
    </message>
    <message>
        <source>denied</source>
        <translation>запрещён</translation>
    </message>
    <message>
        <source>ok</source>
        <translation>есть</translation>
    </message>
    <message>
        <source>No serial ports.</source>
        <translation>Последовательных портов нет.</translation>
    </message>
    <message>
        <source>PORT</source>
        <translation>ПОРТ</translation>
    </message>
    <message>
        <source>ACCESS</source>
        <translation>ДОСТУП</translation>
    </message>
    <message>
        <source>DRIVER</source>
        <translation>ДРАЙВЕР</translation>
    </message>
    <message>
        <source>USB ADAPTER</source>
        <translation>USB-АДАПТЕР</translation>
    </message>
    <message>
        <source>%1: interrupted</source>
        <translation>%1: прервано</translation>
    </message>
    <message>
        <source>%1: parameters saved to %2</source>
        <translation>%1: параметры сохранены в %2</translation>
    </message>
    <message>
        <source>PARAMETER</source>
        <translation>ПАРАМЕТР</translation>
    </message>
    <message>
        <source>RAW</source>
        <translation>КОД</translation>
    </message>
    <message>
        <source>SHOWN AS</source>
        <translation>ЗНАЧЕНИЕ</translation>
    </message>
    <message>
        <source>%1: no such file</source>
        <translation>%1: файл не найден</translation>
    </message>
    <message>
        <source>flag register</source>
        <translation>регистр флагов</translation>
    </message>
    <message>
        <source>nothing was written</source>
        <translation>ничего не записано</translation>
    </message>
    <message>
        <source>the sensor holds a partial set (%1)</source>
        <translation>в датчик записана только часть набора (%1)</translation>
    </message>
    <message>
        <source>not verified</source>
        <translation>проверка чтением не выполнена</translation>
    </message>
    <message>
        <source>%1: interrupted after %2 of %3 register writes: %4</source>
        <translation>%1: прервано после записи %2 из %3 регистров: %4</translation>
    </message>
    <message>
        <source>WRITTEN</source>
        <translation>ЗАПИСАНО</translation>
    </message>
    <message>
        <source>READ BACK</source>
        <translation>ПРОЧИТАНО</translation>
    </message>
    <message>
        <source>%1: the read-back differs from what was written: %2</source>
        <translation>%1: запись не подтверждена, при проверке чтением отличаются: %2</translation>
    </message>
    <message>
        <source>%1: %2 register writes, verified by reading back</source>
        <translation>%1: записано регистров: %2, проверено чтением</translation>
    </message>
    <message>
        <source>%1: %2 register writes, not verified</source>
        <translation>%1: записано регистров: %2, без проверки чтением</translation>
    </message>
    <message>
        <source>%1: no differences from %2</source>
        <translation>%1: отличий от %2 нет</translation>
    </message>
    <message>
        <source>FILE</source>
        <translation>ФАЙЛ</translation>
    </message>
    <message>
        <source>SENSOR</source>
        <translation>ДАТЧИК</translation>
    </message>
    <message>
        <source>%1: %2 parameters differ from %3</source>
        <translation>%1: параметров, отличающихся от %3: %2</translation>
    </message>
    <message>
        <source>factory parameters restored</source>
        <translation>заводские параметры восстановлены</translation>
    </message>
    <message>
        <source>parameters saved to flash</source>
        <translation>параметры сохранены во флеш-память</translation>
    </message>
    <message>
        <source>switched on</source>
        <translation>включён</translation>
    </message>
    <message>
        <source>switched off</source>
        <translation>выключен</translation>
    </message>
    <message>
        <source>configuration command done</source>
        <translation>команда конфигурирования выполнена</translation>
    </message>
    <message>
        <source>%1: no result decoded</source>
        <translation>%1: не удалось разобрать результат</translation>
    </message>
    <message>
        <source>LATCHED RESULT</source>
        <translation>ЗАФИКСИРОВАННЫЙ РЕЗУЛЬТАТ</translation>
    </message>
    <message>
        <source>%1: interrupted while the stream stops</source>
        <translation>%1: прервано во время остановки потока</translation>
    </message>
    <message>
        <source>%1: the sensor does not stop its stream</source>
        <translation>%1: датчик не останавливает поток</translation>
    </message>
    <message>
        <source>  --port PATH         serial device, COMn, or DEMO for the demonstration bus
  --protocol P        standard (default) or modbus
  --address ADDR      the sensor, 1..255: 26 decimal; 0x1A, 1Ah or 1A hexadecimal
  --speed BAUD        its line speed; without it the address is looked for at every speed
  --delay MS          pause after each search probe, 1..10000 (default 20)
  --timeout MS        how long the sensor has to answer, 100..60000 (default 3000)
  --json              machine-readable output
</source>
        <translation>  --port PATH         имя последовательного порта, COMn или DEMO для демонстрационной шины
  --protocol P        standard (по умолчанию) или modbus
  --address ADDR      адрес датчика, 1..255: 26 — десятичный; 0x1A, 1Ah или 1A — шестнадцатеричный
  --speed BAUD        скорость обмена датчика; если не указана, адрес ищется на всех скоростях
  --delay MS          пауза после каждого запроса поиска, 1..10000 (по умолчанию 20)
  --timeout MS        время ожидания ответа датчика, 100..60000 (по умолчанию 3000)
  --json              вывод в машиночитаемом формате
</translation>
    </message>
    <message>
        <source>  --bound N           highest address searched, 1..255 (default 3)
  --speeds LIST       comma-separated line speeds searched (default all eight)
</source>
        <translation>  --bound N           наибольший адрес поиска, 1..255 (по умолчанию 3)
  --speeds LIST       скорости обмена для поиска через запятую (по умолчанию все восемь)
</translation>
    </message>
    <message>
        <source>Usage: veltrano-cli COMMAND [OPTIONS] [ARGUMENTS]

Commands:
  ports               list the serial ports and their USB adapters
  search              find the sensors on a port
  read                read a sensor&apos;s parameters (to a parameter-set file with --output)
  write FILE          write a parameter-set file to a sensor and read it back
  compare FILE        compare a sensor&apos;s parameters with a parameter-set file
  defaults            restore a sensor&apos;s factory parameters
  flash               save a sensor&apos;s parameters to its flash
  on, off             switch a sensor on or off
  configure           send a sensor the configuration command
  latch               latch a sensor&apos;s result and read it (--all: every sensor)
  result              read a sensor&apos;s last result
  stream              print a sensor&apos;s result stream
  inventory PORT...   search several ports at the same time
  help [COMMAND]      this text, or a command&apos;s own

veltrano-cli COMMAND --help tells more; veltrano-cli --version prints the version.
Exit codes: 0 success, 1 internal failure, 2 usage error, 3 port error, 4 no reply,
5 refused by the sensor, 6 mismatch, 7 file error, 130 interrupted.
</source>
        <translation>Использование: veltrano-cli COMMAND [OPTIONS] [ARGUMENTS]

Команды:
  ports               вывести список последовательных портов и их USB-адаптеров
  search              найти датчики на порту
  read                прочитать параметры датчика (с --output — в файл параметров)
  write FILE          записать файл параметров в датчик и проверить чтением
  compare FILE        сравнить параметры датчика с файлом параметров
  defaults            восстановить заводские параметры датчика
  flash               сохранить параметры датчика во флеш-память
  on, off             включить или выключить датчик
  configure           отправить датчику команду конфигурирования
  latch               зафиксировать результат датчика и прочитать его (--all: все датчики)
  result              прочитать последний результат датчика
  stream              вывести поток результатов датчика
  inventory PORT...   выполнить поиск одновременно на нескольких портах
  help [COMMAND]      эта справка или справка по команде

veltrano-cli COMMAND --help — подробнее о команде; veltrano-cli --version — версия программы.
Коды завершения: 0 — успех, 1 — внутренняя ошибка, 2 — ошибка вызова, 3 — ошибка порта,
4 — нет ответа, 5 — отказ датчика, 6 — несовпадение, 7 — ошибка файла, 130 — прервано.
</translation>
    </message>
    <message>
        <source>Usage: veltrano-cli ports [--json]
Lists the serial ports that can be opened, with the USB adapter&apos;s vendor and
product ids, manufacturer, product name and serial number where the system has
them, and the ports that exist but may not be opened (denied).
</source>
        <translation>Использование: veltrano-cli ports [--json]
Выводит список последовательных портов, которые можно открыть, с идентификаторами
производителя и изделия USB-адаптера, названием производителя и изделия и серийным
номером, если система их сообщает, а также порты, которые есть, но недоступны (доступ запрещён).
</translation>
    </message>
    <message>
        <source>Usage: veltrano-cli search --port PATH [OPTIONS]
Probes every address from 1 to the bound at each line speed and identifies the
sensors that answer. Exit code 4 when none answers.
  --port, --protocol, --delay, --timeout, --json as for every command, and
</source>
        <translation>Использование: veltrano-cli search --port PATH [OPTIONS]
Опрашивает все адреса от 1 до границы поиска на каждой скорости обмена и определяет
ответившие датчики. Код завершения 4, если не ответил ни один.
  --port, --protocol, --delay, --timeout, --json — как для всех команд, а также
</translation>
    </message>
    <message>
        <source>Usage: veltrano-cli read --port PATH --address ADDR [OPTIONS]
Reads every parameter of the sensor and prints them; --json prints the
parameter-set file itself.
  --output FILE       write a parameter-set file
</source>
        <translation>Использование: veltrano-cli read --port PATH --address ADDR [OPTIONS]
Читает все параметры датчика и выводит их; с --json выводится сам файл
параметров.
  --output FILE       записать файл параметров
</translation>
    </message>
    <message>
        <source>Usage: veltrano-cli write FILE --port PATH --address ADDR [OPTIONS]
Writes the parameter-set FILE to the sensor, then reads every register back and
compares (exit code 6 when they differ). The sensor keeps its address and line
speed unless told otherwise. Ctrl+C lets the register at hand finish and reports
what was written.
  --no-verify         do not read back
  --set-address ADDR  the address the sensor is to have
  --set-speed BAUD    the line speed the sensor is to have
</source>
        <translation>Использование: veltrano-cli write FILE --port PATH --address ADDR [OPTIONS]
Записывает в датчик набор параметров из FILE, затем читает все регистры обратно и
сравнивает (код завершения 6 при расхождении). Адрес и скорость обмена датчика не
меняются, если не указано иное. По Ctrl+C запись текущего регистра завершается и
выводится, что успело записаться.
  --no-verify         не проверять чтением
  --set-address ADDR  новый адрес датчика
  --set-speed BAUD    новая скорость обмена датчика
</translation>
    </message>
    <message>
        <source>Usage: veltrano-cli compare FILE --port PATH --address ADDR [OPTIONS]
Reads the sensor and lists the parameters where it differs from FILE (exit code 6).
The address and line speed are not compared: a set keeps the sensor&apos;s own.
</source>
        <translation>Использование: veltrano-cli compare FILE --port PATH --address ADDR [OPTIONS]
Читает датчик и выводит параметры, которые отличаются от FILE (код завершения 6).
Адрес и скорость обмена не сравниваются: при записи набора датчик сохраняет свои.
</translation>
    </message>
    <message>
        <source>Usage: veltrano-cli %1 --port PATH --address ADDR [OPTIONS]
defaults restores the factory parameters, flash saves the parameters to flash, on
and off switch the sensor, configure sends the configuration command.
</source>
        <translation>Использование: veltrano-cli %1 --port PATH --address ADDR [OPTIONS]
defaults восстанавливает заводские параметры, flash сохраняет параметры во флеш-память,
on и off включают и выключают датчик, configure отправляет команду конфигурирования.
</translation>
    </message>
    <message>
        <source>Usage: veltrano-cli latch --port PATH (--address ADDR | --all) [OPTIONS]
Latches the sensor&apos;s result and reads the latched value. --all searches the
bus, latches every sensor at once at each line speed in use and reads each.
  --all               every sensor found by a search
</source>
        <translation>Использование: veltrano-cli latch --port PATH (--address ADDR | --all) [OPTIONS]
Фиксирует результат датчика и читает зафиксированное значение. С --all: поиск на шине,
одновременная фиксация всех датчиков на каждой используемой скорости и чтение каждого.
  --all               все датчики, найденные поиском
</translation>
    </message>
    <message>
        <source>Usage: veltrano-cli result --port PATH --address ADDR [OPTIONS]
Reads the sensor&apos;s last result.
</source>
        <translation>Использование: veltrano-cli result --port PATH --address ADDR [OPTIONS]
Читает последний результат датчика.
</translation>
    </message>
    <message>
        <source>Usage: veltrano-cli stream --port PATH --address ADDR [--seconds N] [OPTIONS]
Starts the sensor&apos;s result stream and prints every sample with its receive time
(CSV: received,raw,value,kind; --json: one object a line) until N seconds have
passed or Ctrl+C, then stops the stream. Standard protocol only.
  --seconds N         0.1..86400; without it the stream runs until Ctrl+C
</source>
        <translation>Использование: veltrano-cli stream --port PATH --address ADDR [--seconds N] [OPTIONS]
Запускает поток результатов датчика и выводит каждое измерение со временем приёма
(CSV: received,raw,value,kind; --json: один объект на строку), пока не пройдёт N секунд
или не будет нажато Ctrl+C, затем останавливает поток. Только протокол standard.
  --seconds N         0.1..86400; без этого ключа поток идёт до Ctrl+C
</translation>
    </message>
    <message>
        <source>Usage: veltrano-cli inventory PORT... [OPTIONS]
Searches every PORT at the same time and prints one inventory of every sensor.
The exit code is the highest of the ports&apos;.
  --protocol, --delay, --timeout, --json as for every command, and
</source>
        <translation>Использование: veltrano-cli inventory PORT... [OPTIONS]
Выполняет поиск одновременно на всех PORT и выводит общий список всех датчиков.
Код завершения — наибольший из кодов по портам.
  --protocol, --delay, --timeout, --json — как для всех команд, а также
</translation>
    </message>
    <message>
        <source>ADDRESS</source>
        <translation>АДРЕС</translation>
    </message>
    <message>
        <source>SPEED</source>
        <translation>СКОРОСТЬ</translation>
    </message>
    <message>
        <source>MODEL</source>
        <translation>МОДЕЛЬ</translation>
    </message>
    <message>
        <source>SERIAL</source>
        <translation>ЗАВ. НОМЕР</translation>
    </message>
    <message>
        <source>RANGE, MM</source>
        <translation>ДИАПАЗОН, ММ</translation>
    </message>
    <message>
        <source>DISTANCE, MM</source>
        <translation>РАССТОЯНИЕ, ММ</translation>
    </message>
    <message>
        <source>illegal function</source>
        <translation>недопустимая функция</translation>
    </message>
    <message>
        <source>illegal data address</source>
        <translation>недопустимый адрес данных</translation>
    </message>
    <message>
        <source>illegal data value</source>
        <translation>недопустимое значение данных</translation>
    </message>
    <message>
        <source>sensor failure</source>
        <translation>отказ датчика</translation>
    </message>
    <message>
        <source>acknowledge</source>
        <translation>запрос принят, выполняется</translation>
    </message>
    <message>
        <source>sensor busy</source>
        <translation>датчик занят</translation>
    </message>
    <message>
        <source>unknown exception</source>
        <translation>неизвестное исключение</translation>
    </message>
    <message>
        <source>no such port</source>
        <translation>порт не существует</translation>
    </message>
    <message>
        <source>the port is busy: another program holds it</source>
        <translation>порт занят: его использует другая программа</translation>
    </message>
    <message>
        <source>permission denied: add the user to the group that owns %1 (usually dialout)</source>
        <translation>нет доступа: добавьте пользователя в группу-владельца %1 (обычно dialout)</translation>
    </message>
    <message>
        <source>%1: the demonstration bus does not start: %2</source>
        <translation>%1: демонстрационная шина не запускается: %2</translation>
    </message>
    <message>
        <source>%1: not a port name</source>
        <translation>%1: это не имя порта</translation>
    </message>
    <message>
        <source>%1: the search does not start</source>
        <translation>%1: поиск не запускается</translation>
    </message>
    <message>
        <source>%1, sensor %2</source>
        <translation>%1, датчик %2</translation>
    </message>
    <message>
        <source>%1: no reply at %2 baud</source>
        <translation>%1: нет ответа на скорости %2 бод</translation>
    </message>
    <message>
        <source>%1: no reply at any line speed</source>
        <translation>%1: нет ответа ни на одной скорости обмена</translation>
    </message>
    <message>
        <source>%1: answered the search but not its identification</source>
        <translation>%1: ответ на поиск получен, на запрос идентификации — нет</translation>
    </message>
    <message>
        <source>%1: sensors answer at %2 baud: choose one with --speed</source>
        <translation>%1: датчики отвечают на скоростях %2 бод: выберите одну ключом --speed</translation>
    </message>
    <message>
        <source>%1: the line speed cannot be set</source>
        <translation>%1: не удаётся установить скорость обмена</translation>
    </message>
    <message>
        <source>%1: no reply within %2 ms</source>
        <translation>%1: нет ответа за %2 мс</translation>
    </message>
    <message>
        <source>%1: the port was lost (adapter unplugged?)</source>
        <translation>%1: связь с портом потеряна (адаптер отключён?)</translation>
    </message>
    <message>
        <source>%1: refused with Modbus exception %2 (%3)</source>
        <translation>%1: отказ, исключение Modbus %2 (%3)</translation>
    </message>
    <message>
        <source>%1: no sensor answered</source>
        <translation>%1: ни один датчик не ответил</translation>
    </message>
    <message>
        <source>%1: the request could not be built</source>
        <translation>%1: не удалось сформировать запрос</translation>
    </message>
    <message>
        <source>%1: the sensor holds other values than were written</source>
        <translation>%1: значения в датчике не совпадают с записанными</translation>
    </message>
    <message>
        <source>%1: model %2, serial number %3</source>
        <translation>%1: модель %2, заводской номер %3</translation>
    </message>
    <message>
        <source>flag register and parameter block</source>
        <translation>регистр флагов и блок параметров</translation>
    </message>
    <message>
        <source>%1: another sensor answers at address %2 at %3 baud</source>
        <translation>%1: по адресу %2 на скорости %3 бод отвечает другой датчик</translation>
    </message>
</context>
</TS>
